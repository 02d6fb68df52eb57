// An in-memory file system for tests: folders, files with any size and times,
// reads in pieces of a chosen size, and failures on demand.
#pragma once

#include "platform/FileSystem.h"

#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qv::test {

// A file entry with the given size and all three times set to one moment.
FileEntry memoryFile(const std::string& name, std::int64_t size = 0, std::int64_t time = 1000000000);

class MemoryFileSystem final : public FileSystem {
public:
    explicit MemoryFileSystem(char separator = '\\') : m_separator(separator) {}

    // Adds a file under its folder path ("\\H\s\a"), creating the folders above it.
    void addFile(const std::string& folder, FileEntry entry, std::string content = {});
    void addFolder(const std::string& folder, const std::string& name, std::int64_t time = 0);

    using FileSystem::list;
    // Fails with ENOENT for a folder it does not hold, with EACCES for an unreadable one.
    std::unique_ptr<FolderListing> list(const std::string& folderPath, int& error) override;
    std::unique_ptr<FileReader> openForReading(const std::string& filePath) override;
    char separator() const override { return m_separator; }

    std::size_t readPiece = 1 << 20;         // most bytes one read gives
    std::set<std::string> unreadableFolders; // listing them fails
    std::set<std::string> failingReads;      // reading them fails after the first piece
    std::function<void(const std::string&)> onList; // called for every listing
    std::atomic<int> listings{0};
    std::atomic<int> openReaders{0};
    std::atomic<std::int64_t> bytesRead{0}; // by every reader, in all

private:
    void ensureFolder(const std::string& folder);

    char m_separator;
    std::map<std::string, std::vector<FileEntry>> m_folders;
    std::map<std::string, std::string> m_contents;
};

} // namespace qv::test
