// Discovery, the cache and the SMB client put together.
#include "network/LanNetwork.h"

#include "network/NetworkDirectory.h"
#include "platform/DiscoveryCache.h"
#include "platform/SmbClient.h"
#include "platform/discovery/LanDiscovery.h"

namespace qv::LanNetwork {

std::shared_ptr<NetworkDirectory> makeDirectory()
{
    if (!LanDiscovery::enabledByEnvironment())
        return std::make_shared<NetworkDirectory>();
    return std::make_shared<NetworkDirectory>(
        [](const std::function<void(const DiscoveredHost&)>& found, const std::atomic<bool>& cancel) {
            LanDiscovery::run(DiscoveryOptions{}, found, &cancel);
        });
}

std::shared_ptr<NetworkDirectory> sharedDirectory()
{
    static const std::shared_ptr<NetworkDirectory> directory = makeDirectory();
    return directory;
}

void connect(const std::shared_ptr<NetworkDirectory>& directory, const std::shared_ptr<SmbClient>& client)
{
    if (!client)
        return;
    for (const DiscoveryCache::Entry& entry :
         usableCached(DiscoveryCache().load(kCachedAddressTrusted), &LanDiscovery::isOnLocalSubnet))
        client->setHostAddress(entry.host.name, entry.host.address);
    if (!directory)
        return;
    directory->attach(client);
    const std::weak_ptr<NetworkDirectory> weak = directory;
    client->setHostResolver([weak](const std::string& name) {
        const auto held = weak.lock();
        return held ? held->resolve(name) : std::string();
    });
}

std::vector<DiscoveryCache::Entry> usableCached(const std::vector<DiscoveryCache::Entry>& entries,
                                                const std::function<bool(const std::string&)>& isLocal)
{
    std::vector<DiscoveryCache::Entry> usable;
    for (const DiscoveryCache::Entry& entry : entries)
        if (isLocal(entry.host.address))
            usable.push_back(entry);
    return usable;
}

void remember(const NetworkDirectory& directory)
{
    if (!directory.discoveryDone())
        return;
    std::vector<DiscoveredHost> found;
    for (const NetworkDirectory::Computer& computer : directory.computers()) {
        if (computer.address.empty() || computer.addressSource == DiscoverySource::Typed)
            continue;
        DiscoveredHost host;
        host.name = computer.name;
        host.workgroup = computer.workgroup;
        host.isDomain = computer.isDomain;
        host.address = computer.address;
        host.source = computer.addressSource;
        found.push_back(std::move(host));
    }
    if (!found.empty())
        DiscoveryCache().save(found);
}

} // namespace qv::LanNetwork
