// The real programs' search services.
#include "network/SearchServices.h"

#include "network/LanNetwork.h"
#include "network/NetworkDirectory.h"
#include "network/SmbNetworkEnumerator.h"
#include "platform/ComputerListCache.h"
#include "platform/CredentialStore.h"
#include "platform/LocalFileSystem.h"
#include "platform/MimeFileTypeInfo.h"
#include "platform/SmbClient.h"
#include "platform/SmbFileSystem.h"

namespace qv {
namespace {

// The enumerator refers to its client; keeping both in one block keeps the client
// alive as long as anyone holds the enumerator.
struct SmbEnumeration {
    SmbEnumeration(std::shared_ptr<SmbClient> c, std::shared_ptr<NetworkDirectory> directory)
        : client(std::move(c)), enumerator(*client, std::move(directory))
    {
    }
    std::shared_ptr<SmbClient> client;
    SmbNetworkEnumerator enumerator;
};

std::shared_ptr<SearchServices> servicesOver(std::shared_ptr<SmbClient> smb, std::shared_ptr<NetworkDirectory> directory,
                                             std::function<void(const std::shared_ptr<SmbClient>&)> logOn)
{
    auto services = std::make_shared<SearchServices>();
    services->localFiles = std::make_shared<LocalFileSystem>();
    services->smb = std::move(smb);
    services->networkFiles = std::make_shared<SmbFileSystem>(services->smb);
    services->directory = std::move(directory);
    LanNetwork::connect(services->directory, services->smb);
    auto enumeration = std::make_shared<SmbEnumeration>(services->smb, services->directory);
    services->enumerator = std::shared_ptr<NetworkEnumerator>(enumeration, &enumeration->enumerator);
    services->fileTypes = std::make_shared<MimeFileTypeInfo>();
    services->lastComputers = std::make_shared<ComputerListCache>();
    std::weak_ptr<NetworkDirectory> weakDirectory = services->directory;
    services->newSmbClient = [logOn, weakDirectory] {
        auto client = std::make_shared<SmbClient>();
        logOn(client);
        if (auto directory = weakDirectory.lock())
            LanNetwork::connect(directory, client);
        return client;
    };
    return services;
}

} // namespace

std::shared_ptr<SearchServices> SearchServices::makeDefault() { return makeDefault(CredentialStore::shared()); }

std::shared_ptr<SearchServices> SearchServices::makeDefault(const std::shared_ptr<CredentialStore>& credentials)
{
    auto smb = std::make_shared<SmbClient>();
    if (credentials)
        credentials->attach(smb);
    // The window's directory: what the tree's discovery found, the typed computers,
    // and the addresses to reach them.
    std::weak_ptr<CredentialStore> store = credentials;
    return servicesOver(std::move(smb), LanNetwork::sharedDirectory(), [store](const std::shared_ptr<SmbClient>& client) {
        if (auto s = store.lock())
            s->attach(client);
    });
}

std::shared_ptr<SearchServices> SearchServices::forCommandLine(const SmbCredentials& credentials)
{
    auto smb = std::make_shared<SmbClient>();
    smb->setDefaultCredentials(credentials);
    return servicesOver(std::move(smb), LanNetwork::makeDirectory(),
                        [credentials](const std::shared_ptr<SmbClient>& client) { client->setDefaultCredentials(credentials); });
}

} // namespace qv
