// PTR → SRV → address bookkeeping for DNS-SD.
#include "platform/discovery/DnsSdResolver.h"

#include "platform/discovery/DiscoveryName.h"

namespace qv {
namespace {

bool endsWith(const DnsName& name, const DnsName& suffix)
{
    if (name.size() < suffix.size())
        return false;
    const DnsName tail(name.end() - static_cast<std::ptrdiff_t>(suffix.size()), name.end());
    return DnsMessage::nameKey(tail) == DnsMessage::nameKey(suffix);
}

} // namespace

DnsSdResolver::DnsSdResolver(DnsName service, const LocalSubnets& subnets)
    : m_service(std::move(service))
    , m_subnets(subnets)
{
    // "_smb._tcp.local": the service's domain is what follows the two service labels.
    if (m_service.size() > 2)
        m_domain = DnsMessage::nameText(DnsName(m_service.begin() + 2, m_service.end()));
}

void DnsSdResolver::take(const DnsPacket& packet, const QHostAddress& sender)
{
    const std::string serviceKey = DnsMessage::nameKey(m_service);
    const auto usable = [](const DnsRecord& r, std::uint16_t type) {
        return r.type == type && r.rclass == DnsMessage::kClassIn && r.ttl != 0;
    };
    // Records may come in any order within a packet: instances first, then their SRV
    // records, then addresses.
    for (const DnsRecord& r : packet.records) {
        if (!usable(r, DnsMessage::Ptr) || DnsMessage::nameKey(r.name) != serviceKey)
            continue;
        // An instance is one label in front of the service name.
        if (r.target.size() != m_service.size() + 1 || !endsWith(r.target, m_service))
            continue;
        const std::string key = DnsMessage::nameKey(r.target);
        if (!m_instances.count(key) && m_instances.size() < kMaxInstances)
            m_instances[key].name = r.target;
    }
    for (const DnsRecord& r : packet.records) {
        if (!usable(r, DnsMessage::Srv))
            continue;
        auto it = m_instances.find(DnsMessage::nameKey(r.name));
        // The host's first label becomes the computer name: it must pass the name rules.
        if (it == m_instances.end() || it->second.target || r.target.size() < 2
            || !DiscoveryName::acceptable(r.target.front()))
            continue;
        const std::string key = DnsMessage::nameKey(r.target);
        if (!m_targets.count(key)) {
            if (m_targets.size() >= kMaxTargets)
                continue;
            m_targets[key].name = r.target;
        }
        it->second.target = r.target;
    }
    for (const DnsRecord& r : packet.records) {
        if (!usable(r, DnsMessage::A) && !usable(r, DnsMessage::Aaaa))
            continue;
        auto it = m_targets.find(DnsMessage::nameKey(r.name));
        if (it == m_targets.end())
            continue;
        QHostAddress address;
        if (r.type == DnsMessage::A) {
            address = QHostAddress((std::uint32_t{r.address[0]} << 24) | (std::uint32_t{r.address[1]} << 16)
                                   | (std::uint32_t{r.address[2]} << 8) | r.address[3]);
        } else {
            address = QHostAddress(r.address.data());
            // A link-local address only means something on the link it was heard on.
            if (address.isLinkLocal()) {
                if (sender.protocol() != QAbstractSocket::IPv6Protocol || sender.scopeId().isEmpty())
                    continue;
                address.setScopeId(sender.scopeId());
            }
        }
        if (!m_subnets.isLocal(address))
            continue;
        Target& target = it->second;
        if (r.type == DnsMessage::A && !target.ipv4)
            target.ipv4 = address;
        else if (r.type == DnsMessage::Aaaa && !target.ipv6)
            target.ipv6 = address;
    }
}

std::vector<DnsSdQuestion> DnsSdResolver::dueQuestions(Clock::time_point now)
{
    std::vector<DnsSdQuestion> questions;
    for (auto& [key, instance] : m_instances) {
        if (instance.target || instance.srvQueries >= 2)
            continue;
        if (instance.srvQueries == 0 || now >= instance.askedAt + kAskAgainAfter) {
            ++instance.srvQueries;
            instance.askedAt = now;
            questions.push_back({instance.name, DnsMessage::Srv});
        }
    }
    for (auto& [key, target] : m_targets) {
        if (target.ipv4 || target.aQueries >= 2)
            continue;
        if (target.aQueries == 0 || now >= target.askedAt + kAskAgainAfter) {
            ++target.aQueries;
            target.askedAt = now;
            questions.push_back({target.name, DnsMessage::A});
        }
    }
    return questions;
}

std::vector<DiscoveredHost> DnsSdResolver::readyHosts(Clock::time_point now)
{
    std::vector<DiscoveredHost> hosts;
    for (auto& [key, instance] : m_instances) {
        if (!instance.target || instance.reported)
            continue;
        const auto t = m_targets.find(DnsMessage::nameKey(*instance.target));
        if (t == m_targets.end())
            continue;
        const Target& target = t->second;
        std::optional<QHostAddress> address = target.ipv4;
        // The A question goes out in the same step as the SRV answer arrives; an
        // AAAA-only host is taken once that question has had its time.
        if (!address && target.ipv6 && target.aQueries > 0 && now >= target.askedAt + kWaitForIpv4)
            address = target.ipv6;
        if (!address)
            continue;
        instance.reported = true;
        DiscoveredHost host;
        host.name = target.name.front();
        host.workgroup = m_domain;
        host.address = address->toString().toStdString();
        host.source = DiscoverySource::DnsSd;
        hosts.push_back(std::move(host));
    }
    return hosts;
}

DnsSdResolver::Clock::time_point DnsSdResolver::nextDue() const
{
    Clock::time_point due = Clock::time_point::max();
    for (const auto& [key, instance] : m_instances) {
        if (!instance.target && instance.srvQueries == 1)
            due = std::min(due, instance.askedAt + kAskAgainAfter);
    }
    for (const auto& [key, target] : m_targets) {
        if (!target.ipv4 && target.aQueries == 1)
            due = std::min(due, target.askedAt + kAskAgainAfter);
    }
    // The end of an AAAA-only host's wait matters only while its instance is unreported.
    for (const auto& [key, instance] : m_instances) {
        if (!instance.target || instance.reported)
            continue;
        const auto t = m_targets.find(DnsMessage::nameKey(*instance.target));
        if (t != m_targets.end() && !t->second.ipv4 && t->second.ipv6 && t->second.aQueries > 0)
            due = std::min(due, t->second.askedAt + kWaitForIpv4);
    }
    return due;
}

} // namespace qv
