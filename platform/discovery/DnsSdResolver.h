// Follows DNS-SD answers for one service type from instance to host: PTR → SRV →
// A/AAAA, says which follow-up questions are due for what the answers left out, and
// yields each instance's host once its address is known. No sockets: MdnsQuery feeds it
// packets and sends what it asks for.
#pragma once

#include "platform/discovery/DiscoveredHost.h"
#include "platform/discovery/DnsMessage.h"
#include "platform/discovery/LocalSubnets.h"

#include <chrono>
#include <map>
#include <optional>

namespace qv {

struct DnsSdQuestion {
    DnsName name;
    std::uint16_t type = 0;
};

class DnsSdResolver final {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kAskAgainAfter{500}; // an unanswered follow-up is sent once more
    static constexpr std::chrono::milliseconds kWaitForIpv4{300};   // after asking for A, an AAAA-only host waits this long
    static constexpr std::size_t kMaxInstances = 256;
    static constexpr std::size_t kMaxTargets = 256;

    // service: "_smb._tcp.local"; addresses must lie in subnets to be used.
    DnsSdResolver(DnsName service, const LocalSubnets& subnets);

    // Takes the records of one answer heard from sender (whose scope, for IPv6, says
    // which link a link-local AAAA belongs to). Goodbyes (TTL 0) are ignored.
    void take(const DnsPacket& packet, const QHostAddress& sender);

    // The follow-up questions due at now; each is asked at most twice.
    std::vector<DnsSdQuestion> dueQuestions(Clock::time_point now);

    // Hosts complete at now, each instance once: with its IPv4 address, or with its
    // IPv6 address once the wait for an A record is over.
    std::vector<DiscoveredHost> readyHosts(Clock::time_point now);

    // When dueQuestions or readyHosts may next have something (max when nothing waits).
    Clock::time_point nextDue() const;

private:
    struct Instance {
        DnsName name;
        std::optional<DnsName> target;
        int srvQueries = 0;
        Clock::time_point askedAt;
        bool reported = false;
    };
    struct Target {
        DnsName name;
        std::optional<QHostAddress> ipv4;
        std::optional<QHostAddress> ipv6;
        int aQueries = 0;
        Clock::time_point askedAt;
    };

    DnsName m_service;
    std::string m_domain; // the service's domain: "local"
    const LocalSubnets& m_subnets;
    std::map<std::string, Instance> m_instances; // by DnsMessage::nameKey
    std::map<std::string, Target> m_targets;
};

} // namespace qv
