// WS-Discovery client for one round: multicasts a Probe for devices, resolves the
// ones that answer without transport addresses, fetches each device's metadata over
// HTTP and reports the computer it names. Every address it connects to has passed the
// subnet guard first.
#pragma once

#include "platform/discovery/DatagramSocket.h"
#include "platform/discovery/DiscoveryTask.h"
#include "platform/discovery/HttpExchange.h"
#include "platform/discovery/LocalSubnets.h"
#include "platform/discovery/WsdMessage.h"

#include <map>
#include <memory>
#include <optional>

namespace qv {

class WsdProbe final : public DiscoveryTask {
public:
    static constexpr std::size_t kMaxMetadataBytes = 64 * 1024;
    static constexpr std::size_t kMaxDevices = 64;

    // deadline bounds the metadata exchanges too.
    WsdProbe(const LocalSubnets& subnets, Clock::time_point deadline, HostSink sink);

    bool start(Clock::time_point now) override;
    void watch(std::vector<pollfd>& fds) const override;
    void advance(const std::vector<pollfd>& fds, Clock::time_point now) override;
    Clock::time_point nextDue() const override;

    // The XAddrs entry to fetch metadata from: the first IPv4 one that passes the
    // subnet guard (else the first such IPv6 one), or nullopt. The guard: the address
    // lies in a local subnet and is the sender's own address or in the sender's subnet.
    // A link-local address takes the sender's scope.
    static std::optional<HttpUrl> usableAddress(const std::vector<std::string>& xaddrs, const QHostAddress& sender,
                                                const LocalSubnets& subnets);

private:
    enum class State { Resolving, WaitingForIpv4, Fetching, Done };
    struct Device {
        State state = State::Resolving;
        std::string endpoint;
        std::string resolveId;
        int resolves = 0;
        Clock::time_point dueAt = Clock::time_point::max(); // next resolve, or the end of the wait for IPv4
        std::optional<HttpUrl> url;
        std::unique_ptr<HttpExchange> exchange;
    };

    void multicast(const std::string& message);
    void read(DatagramSocket& socket, Clock::time_point now);
    void consider(const WsdMatch& match, const QHostAddress& sender, Clock::time_point now);
    void fetch(Device& device, const HttpUrl& url);
    void finish(Device& device);

    const LocalSubnets& m_subnets;
    Clock::time_point m_deadline;
    HostSink m_sink;
    std::unique_ptr<DatagramSocket> m_ipv4;
    std::unique_ptr<DatagramSocket> m_ipv6;
    std::string m_probeId;
    std::string m_probe;
    Clock::time_point m_repeatAt = Clock::time_point::max();
    std::map<std::string, Device> m_devices; // by endpoint address
};

} // namespace qv
