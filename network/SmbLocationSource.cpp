// The tree's SMB listings: SmbNetworkEnumerator for containers, SmbFileSystem for
// folders, both over one client that the destructor aborts before anything waits.
#include "network/SmbLocationSource.h"

#include "network/LanNetwork.h"
#include "network/NetworkDirectory.h"
#include "network/SmbNetworkEnumerator.h"
#include "platform/CredentialStore.h"
#include "platform/SmbClient.h"
#include "platform/SmbFileSystem.h"

namespace qv {

// The enumerator and file system refer to the client, so all three live in one block
// that the base class's shared pointers keep alive.
struct SmbLocationSource::Parts {
    Parts(std::shared_ptr<SmbClient> c, std::shared_ptr<NetworkDirectory> directory)
        : client(std::move(c))
        , enumerator(*client, std::move(directory), SmbNetworkEnumerator::Discovered::KnownNow)
        , files(client)
    {
    }
    std::shared_ptr<SmbClient> client;
    SmbNetworkEnumerator enumerator;
    SmbFileSystem files;
};

SmbLocationSource::SmbLocationSource(const std::shared_ptr<CredentialStore>& store,
                                     std::shared_ptr<NetworkDirectory> directory)
    : SmbLocationSource(std::make_shared<SmbClient>(), store, std::move(directory))
{
}

SmbLocationSource::SmbLocationSource(std::shared_ptr<SmbClient> client, const std::shared_ptr<CredentialStore>& store,
                                     std::shared_ptr<NetworkDirectory> directory)
    : SmbLocationSource(std::make_shared<Parts>(std::move(client), directory), store, directory)
{
}

SmbLocationSource::SmbLocationSource(std::shared_ptr<Parts> parts, const std::shared_ptr<CredentialStore>& store,
                                     const std::shared_ptr<NetworkDirectory>& directory)
    : LocationSource(std::shared_ptr<NetworkEnumerator>(parts, &parts->enumerator),
                     std::shared_ptr<FileSystem>(parts, &parts->files))
    , m_parts(std::move(parts))
    , m_client(m_parts->client)
{
    if (store)
        store->attach(m_client);
    if (directory)
        LanNetwork::connect(directory, m_client);
}

SmbLocationSource::~SmbLocationSource() = default;

void SmbLocationSource::setServerCredentials(const std::string& server, const SmbCredentials& credentials)
{
    m_client->setServerCredentials(CredentialStore::keyOf(server), credentials);
}

void SmbLocationSource::abort() { m_client->abort(); }

int SmbLocationSource::containerError() const { return m_parts->enumerator.lastError(); }

int SmbLocationSource::folderError() const { return m_parts->files.lastError(); }

} // namespace qv
