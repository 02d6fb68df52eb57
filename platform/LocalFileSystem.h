// Local folders and files through POSIX calls. Sub-folders are opened relative to
// their parent's descriptor, so a tree is walked to any depth, whatever the length of
// its full paths.
#pragma once

#include "platform/FileSystem.h"

namespace qv {

class LocalFileSystem final : public FileSystem {
public:
    using FileSystem::list;
    std::unique_ptr<FolderListing> list(const std::string& folderPath, int& error) override;
    std::unique_ptr<FolderListing> listSubFolder(FolderListing& parent, const std::string& name,
                                                 const std::string& folderPath, int& error) override;
    std::unique_ptr<FileReader> openForReading(const std::string& filePath) override;
    std::unique_ptr<FileReader> openEntry(FolderListing& folder, const FileEntry& entry,
                                          const std::string& filePath) override;
    char separator() const override { return '/'; }

    // The longest path a released listing reaches its folder by, from the nearest
    // folder still held open; a folder further down is held open itself. Well below
    // PATH_MAX, which a path given to the kernel in one piece must stay under.
    static constexpr std::size_t kLongestReach = 2048;
};

} // namespace qv
