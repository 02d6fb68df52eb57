// One-shot mDNS querier for SMB services: sockets and timers around DnsSdResolver.
#include "platform/discovery/MdnsQuery.h"

#include <QRandomGenerator>

#include <set>

namespace qv {

MdnsQuery::MdnsQuery(const LocalSubnets& subnets, HostSink sink)
    : m_subnets(subnets)
    , m_sink(std::move(sink))
    , m_resolver(DnsMessage::nameFromText(kService), subnets)
{
}

bool MdnsQuery::start(Clock::time_point now)
{
    // Hop limit 255 as RFC 6762 §11 asks; 224.0.0.251 and ff02::fb never leave the link.
    if (!DatagramSocket::openForMulticast(m_subnets, 255, m_ipv4, m_ipv6))
        return false;
    m_queryId = static_cast<std::uint16_t>(QRandomGenerator::global()->generate());
    ask(DnsMessage::nameFromText(kService), DnsMessage::Ptr);
    m_repeatAt = now + kRepeatAfter;
    return true;
}

void MdnsQuery::ask(const DnsName& name, std::uint16_t type)
{
    // From an ephemeral port this is a one-shot query: responders answer by unicast to
    // that port, repeating the query's ID (RFC 6762 §5.1, §6.7). Every question goes
    // to every link: the answers say nothing reliable about which link they came from.
    const std::string query = DnsMessage::buildQuery(m_queryId, name, type, true);
    if (query.empty())
        return;
    std::set<unsigned> ipv4Done;
    std::set<unsigned> ipv6Done;
    const QHostAddress group4(QString::fromLatin1(kIpv4Group));
    const QHostAddress group6(QString::fromLatin1(kIpv6Group));
    for (const LocalAddress& a : m_subnets.addresses()) {
        if (!a.canMulticast)
            continue;
        if (a.address.protocol() == QAbstractSocket::IPv4Protocol && m_ipv4 && ipv4Done.insert(a.interfaceIndex).second)
            m_ipv4->sendTo(group4, kPort, query, a.interfaceIndex, a.address);
        else if (a.address.protocol() == QAbstractSocket::IPv6Protocol && m_ipv6 && ipv6Done.insert(a.interfaceIndex).second)
            m_ipv6->sendTo(group6, kPort, query, a.interfaceIndex);
    }
}

void MdnsQuery::watch(std::vector<pollfd>& fds) const
{
    if (m_ipv4 && m_ipv4->isOpen())
        fds.push_back({m_ipv4->descriptor(), POLLIN, 0});
    if (m_ipv6 && m_ipv6->isOpen())
        fds.push_back({m_ipv6->descriptor(), POLLIN, 0});
}

DiscoveryTask::Clock::time_point MdnsQuery::nextDue() const
{
    return std::min(m_repeatAt, m_resolver.nextDue());
}

void MdnsQuery::advance(const std::vector<pollfd>& fds, Clock::time_point now)
{
    for (const pollfd& p : fds) {
        if (!(p.revents & POLLIN))
            continue;
        if (m_ipv4 && p.fd == m_ipv4->descriptor())
            read(*m_ipv4);
        else if (m_ipv6 && p.fd == m_ipv6->descriptor())
            read(*m_ipv6);
    }
    if (now >= m_repeatAt) {
        m_repeatAt = Clock::time_point::max();
        ask(DnsMessage::nameFromText(kService), DnsMessage::Ptr);
    }
    for (const DnsSdQuestion& q : m_resolver.dueQuestions(now))
        ask(q.name, q.type);
    for (const DiscoveredHost& host : m_resolver.readyHosts(now))
        m_sink(host);
}

void MdnsQuery::read(DatagramSocket& socket)
{
    for (int i = 0; i < 64; ++i) {
        auto datagram = socket.receive(9000);
        if (!datagram)
            return;
        // Answers come from the responder's port 5353 (RFC 6762 §6) and from a
        // neighbour; the ID must be ours, as a one-shot answer repeats it.
        if (datagram->port != kPort || !m_subnets.isLocal(datagram->sender))
            continue;
        const auto packet = DnsMessage::parse(datagram->bytes);
        if (!packet || !packet->isResponse() || packet->opcode() != 0 || packet->rcode() != 0
            || packet->id != m_queryId)
            continue;
        m_resolver.take(*packet, datagram->sender);
    }
}

} // namespace qv
