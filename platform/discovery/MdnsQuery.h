// DNS-SD by one-shot multicast DNS (RFC 6762 §5.1, RFC 6763): asks the link for
// _smb._tcp.local from an ephemeral port, hands the answers to a DnsSdResolver and
// sends the follow-up questions it asks for (SRV, A).
#pragma once

#include "platform/discovery/DatagramSocket.h"
#include "platform/discovery/DiscoveryTask.h"
#include "platform/discovery/DnsSdResolver.h"
#include "platform/discovery/LocalSubnets.h"

#include <memory>

namespace qv {

class MdnsQuery final : public DiscoveryTask {
public:
    static constexpr std::uint16_t kPort = 5353;
    static constexpr const char* kIpv4Group = "224.0.0.251";
    static constexpr const char* kIpv6Group = "ff02::fb";
    static constexpr const char* kService = "_smb._tcp.local";
    static constexpr std::chrono::milliseconds kRepeatAfter{700}; // one repeat of the first question

    MdnsQuery(const LocalSubnets& subnets, HostSink sink);

    bool start(Clock::time_point now) override;
    void watch(std::vector<pollfd>& fds) const override;
    void advance(const std::vector<pollfd>& fds, Clock::time_point now) override;
    Clock::time_point nextDue() const override;

private:
    void ask(const DnsName& name, std::uint16_t type);
    void read(DatagramSocket& socket);

    const LocalSubnets& m_subnets;
    HostSink m_sink;
    DnsSdResolver m_resolver;
    std::unique_ptr<DatagramSocket> m_ipv4;
    std::unique_ptr<DatagramSocket> m_ipv6;
    std::uint16_t m_queryId = 0;
    Clock::time_point m_repeatAt = Clock::time_point::max();
};

} // namespace qv
