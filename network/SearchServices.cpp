// The real program's search services.
#include "app/SearchServices.h"

#include "network/LanNetwork.h"
#include "network/NetworkDirectory.h"
#include "network/SmbNetworkEnumerator.h"
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

} // namespace

std::shared_ptr<SearchServices> SearchServices::makeDefault() { return makeDefault(CredentialStore::shared()); }

std::shared_ptr<SearchServices> SearchServices::makeDefault(const std::shared_ptr<CredentialStore>& credentials)
{
    auto services = std::make_shared<SearchServices>();
    services->localFiles = std::make_shared<LocalFileSystem>();
    services->smb = std::make_shared<SmbClient>();
    if (credentials)
        credentials->attach(services->smb);
    services->networkFiles = std::make_shared<SmbFileSystem>(services->smb);
    // The window's directory: what the tree's discovery found, the typed computers,
    // and the addresses to reach them.
    const auto directory = LanNetwork::sharedDirectory();
    LanNetwork::connect(directory, services->smb);
    auto enumeration = std::make_shared<SmbEnumeration>(services->smb, directory);
    services->enumerator = std::shared_ptr<NetworkEnumerator>(enumeration, &enumeration->enumerator);
    services->fileTypes = std::make_shared<MimeFileTypeInfo>();
    return services;
}

} // namespace qv
