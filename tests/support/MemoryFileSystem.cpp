#include "tests/support/MemoryFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv::test {
namespace {

class MemoryListing final : public FolderListing {
public:
    explicit MemoryListing(std::vector<FileEntry> entries) { m_entries = std::move(entries); }
};

class MemoryReader final : public FileReader {
public:
    MemoryReader(std::string content, std::size_t piece, bool failAfterFirst, std::atomic<int>& open,
                 std::atomic<std::int64_t>& bytesRead)
        : m_content(std::move(content)), m_piece(piece), m_fail(failAfterFirst), m_open(open), m_bytesRead(bytesRead)
    {
        ++m_open;
    }
    ~MemoryReader() override { --m_open; }

    std::int64_t read(char* buffer, std::size_t capacity) override
    {
        if (m_fail && m_pos > 0)
            return -1;
        const std::size_t n = std::min({capacity, m_piece, m_content.size() - m_pos});
        std::memcpy(buffer, m_content.data() + m_pos, n);
        m_pos += n;
        m_bytesRead += static_cast<std::int64_t>(n);
        return static_cast<std::int64_t>(n);
    }

private:
    std::string m_content;
    std::size_t m_piece;
    bool m_fail;
    std::atomic<int>& m_open;
    std::atomic<std::int64_t>& m_bytesRead;
    std::size_t m_pos = 0;
};

} // namespace

FileEntry memoryFile(const std::string& name, std::int64_t size, std::int64_t time)
{
    FileEntry e;
    e.name = name;
    e.size = size;
    e.created = e.written = e.accessed = time;
    return e;
}

void MemoryFileSystem::ensureFolder(const std::string& folder)
{
    if (m_folders.count(folder))
        return;
    m_folders[folder];
    const auto cut = folder.rfind(m_separator);
    if (cut == std::string::npos || cut < 2)
        return;
    const std::string parent = folder.substr(0, cut);
    ensureFolder(parent);
    auto& siblings = m_folders[parent];
    const std::string name = folder.substr(cut + 1);
    if (std::none_of(siblings.begin(), siblings.end(), [&](const FileEntry& e) { return e.name == name; })) {
        FileEntry entry;
        entry.name = name;
        entry.isFolder = true;
        entry.hasDetails = true;
        entry.created = entry.written = entry.accessed = 0;
        siblings.push_back(entry);
    }
}

void MemoryFileSystem::addFile(const std::string& folder, FileEntry entry, std::string content)
{
    ensureFolder(folder);
    entry.hasDetails = true;
    if (entry.size == 0)
        entry.size = static_cast<std::int64_t>(content.size());
    m_contents[folder + m_separator + entry.name] = std::move(content);
    m_folders[folder].push_back(std::move(entry));
}

void MemoryFileSystem::addFolder(const std::string& folder, const std::string& name, std::int64_t time)
{
    ensureFolder(folder + m_separator + name);
    for (FileEntry& e : m_folders[folder])
        if (e.name == name)
            e.created = e.written = e.accessed = time;
}

std::unique_ptr<FolderListing> MemoryFileSystem::list(const std::string& folderPath, int& error)
{
    ++listings;
    if (onList)
        onList(folderPath);
    const auto it = m_folders.find(folderPath);
    if (it == m_folders.end() || unreadableFolders.count(folderPath)) {
        error = it == m_folders.end() ? ENOENT : EACCES;
        return nullptr;
    }
    return std::make_unique<MemoryListing>(it->second);
}

std::unique_ptr<FileReader> MemoryFileSystem::openForReading(const std::string& filePath)
{
    const auto it = m_contents.find(filePath);
    if (it == m_contents.end())
        return nullptr;
    return std::make_unique<MemoryReader>(it->second, readPiece, failingReads.count(filePath) > 0, openReaders,
                                          bytesRead);
}

} // namespace qv::test
