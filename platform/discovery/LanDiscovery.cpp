// The discovery round: sets up every enabled source over this machine's subnets,
// runs them in one DiscoveryLoop and gathers their hosts without repeats.
#include "platform/discovery/LanDiscovery.h"

#include "platform/discovery/DiscoveryLoop.h"
#include "platform/discovery/LocalSubnets.h"
#include "platform/discovery/MdnsQuery.h"
#include "platform/discovery/NetbiosSweep.h"
#include "platform/discovery/WsdProbe.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <tuple>

namespace qv {
namespace {

using Clock = DiscoveryTask::Clock;

bool cancelled(const std::atomic<bool>* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

} // namespace

bool LanDiscovery::enabledByEnvironment()
{
    const char* value = std::getenv("QV_DISCOVERY");
    return !(value && std::strcmp(value, "0") == 0);
}

bool LanDiscovery::isOnLocalSubnet(const std::string& address)
{
    const QHostAddress parsed(QString::fromStdString(address));
    return !parsed.isNull() && LocalSubnets::fromSystem().isLocal(parsed);
}

std::vector<DiscoveredHost> LanDiscovery::run(const DiscoveryOptions& options, const HostFound& onHost,
                                              const std::atomic<bool>* cancel)
{
    std::vector<DiscoveredHost> found;
    if (!enabledByEnvironment() || cancelled(cancel) || options.timeoutMs <= 0)
        return found;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
    const LocalSubnets subnets = LocalSubnets::fromSystem();
    if (subnets.empty())
        return found;

    std::set<std::tuple<int, std::string, std::string>> seen;
    const DiscoveryTask::HostSink sink = [&](const DiscoveredHost& host) {
        if (!seen.emplace(static_cast<int>(host.source), host.name, host.address).second)
            return;
        found.push_back(host);
        if (onHost)
            onHost(host);
    };
    std::vector<std::unique_ptr<DiscoveryTask>> tasks;
    if (options.wsDiscovery)
        tasks.push_back(std::make_unique<WsdProbe>(subnets, deadline, sink));
    if (options.dnsSd)
        tasks.push_back(std::make_unique<MdnsQuery>(subnets, sink));
    if (options.netbiosSweep)
        tasks.push_back(std::make_unique<NetbiosSweep>(subnets, sink));
    DiscoveryLoop::run(tasks, deadline, cancel);
    return found;
}

} // namespace qv
