// The file-system service the folder walk and the content match use: folder
// listings and sequential reads, by path.
#pragma once

#include "platform/FileReader.h"
#include "platform/FolderListing.h"

#include <memory>
#include <string>

namespace qv {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Every entry of the folder, "." and ".." left out. nullptr when the folder
    // cannot be opened or listed, with the errno value in `error`: ENOENT, ENOTDIR,
    // EACCES, a network error, or ENOPKG when a helper of the program could not be
    // started (errorDetail() then says which and why).
    virtual std::unique_ptr<FolderListing> list(const std::string& folderPath, int& error) = 0;
    std::unique_ptr<FolderListing> list(const std::string& folderPath)
    {
        int error = 0;
        return list(folderPath, error);
    }

    // The listing of a sub-folder of a listed folder, failing as list() does: a file
    // system may reach it through the parent's open handle instead of the whole path.
    virtual std::unique_ptr<FolderListing> listSubFolder(FolderListing& parent, const std::string& name,
                                                         const std::string& folderPath, int& error)
    {
        (void)parent;
        (void)name;
        return list(folderPath, error);
    }

    // A text of the file system's own for an error its listings gave, where the number
    // alone does not tell enough (which helper could not be started, and why); empty
    // for every other error.
    virtual std::string errorDetail(int error) const
    {
        (void)error;
        return {};
    }

    // nullptr when the file cannot be opened for reading (or is no regular file).
    virtual std::unique_ptr<FileReader> openForReading(const std::string& filePath) = 0;

    // Opens an entry of a listed folder; a file system may reach it through the
    // folder's open handle, and may refuse what the listing shows is no regular file.
    virtual std::unique_ptr<FileReader> openEntry(FolderListing& folder, const FileEntry& entry,
                                                  const std::string& filePath)
    {
        (void)folder;
        (void)entry;
        return openForReading(filePath);
    }

    // What joins a folder path and a name: "/" for local paths, "\" for network paths.
    virtual char separator() const = 0;
};

} // namespace qv
