// Network folders and files ("\\HOST\share\a\b") through a qv-smb helper: one listing
// request per folder, every entry with its size and times, files read in large chunks.
#pragma once

#include "platform/FileSystem.h"

#include <atomic>
#include <memory>

namespace qv {

class SmbClient;

class SmbFileSystem final : public FileSystem {
public:
    // A client of its own, with its own helper.
    SmbFileSystem();
    // Shares a client, e.g. one whose abort() the search's stop calls.
    explicit SmbFileSystem(std::shared_ptr<SmbClient> client);
    ~SmbFileSystem() override;

    // A share or a folder below one; nullptr for anything above a share (ENOTDIR) and
    // for a folder that cannot be listed.
    using FileSystem::list;
    std::unique_ptr<FolderListing> list(const std::string& folderPath, int& error) override;
    // The client's text for a helper that could not be started (ENOPKG).
    std::string errorDetail(int error) const override;
    // nullptr when the file cannot be opened; the reader closes it when destroyed.
    std::unique_ptr<FileReader> openForReading(const std::string& filePath) override;
    char separator() const override { return '\\'; }

    SmbClient& client() { return *m_client; }
    // The errno value of the last list() or openForReading() that failed; 0 before any.
    int lastError() const { return m_lastError.load(std::memory_order_relaxed); }

private:
    std::shared_ptr<SmbClient> m_client;
    std::atomic<int> m_lastError{0};
};

} // namespace qv
