// The file-system service over SMB, built on SmbClient. Listings come complete from
// the server (readdirplus), so loading details never costs another request.
#include "platform/SmbFileSystem.h"

#include "platform/SmbClient.h"
#include "platform/SmbUrl.h"

#include <cerrno>
#include <optional>

namespace qv {
namespace {

class SmbFolderListing final : public FolderListing {
public:
    explicit SmbFolderListing(std::vector<FileEntry> entries) { m_entries = std::move(entries); }
};

class SmbFileReader final : public FileReader {
public:
    SmbFileReader(std::shared_ptr<SmbClient> client, int handle) : m_client(std::move(client)), m_handle(handle) {}
    ~SmbFileReader() override { m_client->closeFile(m_handle); }
    SmbFileReader(const SmbFileReader&) = delete;
    SmbFileReader& operator=(const SmbFileReader&) = delete;

    std::int64_t read(char* buffer, std::size_t capacity) override { return m_client->read(m_handle, buffer, capacity); }

private:
    std::shared_ptr<SmbClient> m_client;
    int m_handle;
};

// The URL of a share, or of a folder or file inside one; nullopt for anything else.
std::optional<std::string> urlInShare(const std::string& path)
{
    const auto url = SmbUrl::fromNetworkName(path);
    if (!url || (url->level() != SmbUrl::Level::Share && url->level() != SmbUrl::Level::Folder))
        return std::nullopt;
    return url->url();
}

} // namespace

SmbFileSystem::SmbFileSystem() : SmbFileSystem(std::make_shared<SmbClient>()) {}

SmbFileSystem::SmbFileSystem(std::shared_ptr<SmbClient> client) : m_client(std::move(client)) {}

SmbFileSystem::~SmbFileSystem() = default;

std::unique_ptr<FolderListing> SmbFileSystem::list(const std::string& folderPath, int& error)
{
    const auto url = urlInShare(folderPath);
    if (!url) {
        error = ENOTDIR;
        m_lastError.store(error, std::memory_order_relaxed);
        return nullptr;
    }
    std::vector<FileEntry> entries;
    if (const int rc = m_client->listFolder(*url, entries)) {
        error = rc;
        m_lastError.store(rc, std::memory_order_relaxed);
        return nullptr;
    }
    return std::make_unique<SmbFolderListing>(std::move(entries));
}

std::string SmbFileSystem::errorDetail(int error) const
{
    return error == ENOPKG ? m_client->helperFault() : std::string();
}

std::unique_ptr<FileReader> SmbFileSystem::openForReading(const std::string& filePath)
{
    const auto url = SmbUrl::fromNetworkName(filePath);
    if (!url || url->level() != SmbUrl::Level::Folder) {
        m_lastError.store(EISDIR, std::memory_order_relaxed);
        return nullptr;
    }
    int handle = -1;
    if (const int rc = m_client->openFile(url->url(), handle)) {
        m_lastError.store(rc, std::memory_order_relaxed);
        return nullptr;
    }
    return std::make_unique<SmbFileReader>(m_client, handle);
}

} // namespace qv
