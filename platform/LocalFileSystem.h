// Local folders and files through POSIX calls.
#pragma once

#include "platform/FileSystem.h"

namespace qv {

class LocalFileSystem final : public FileSystem {
public:
    std::unique_ptr<FolderListing> list(const std::string& folderPath) override;
    std::unique_ptr<FolderListing> listSubFolder(FolderListing& parent, const std::string& name,
                                                 const std::string& folderPath) override;
    std::unique_ptr<FileReader> openForReading(const std::string& filePath) override;
    std::unique_ptr<FileReader> openEntry(FolderListing& folder, const FileEntry& entry,
                                          const std::string& filePath) override;
    char separator() const override { return '/'; }
};

} // namespace qv
