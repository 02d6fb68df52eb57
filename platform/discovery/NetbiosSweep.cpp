// Node-status sweep over one UDP socket on an ephemeral port.
#include "platform/discovery/NetbiosSweep.h"

#include "platform/discovery/NbnsMessage.h"

#include <QRandomGenerator>

namespace qv {

NetbiosSweep::NetbiosSweep(const LocalSubnets& subnets, HostSink sink, std::uint16_t port)
    : m_subnets(subnets)
    , m_sink(std::move(sink))
    , m_port(port)
{
}

bool NetbiosSweep::start(Clock::time_point now)
{
    m_targets = m_subnets.sweepTargets();
    if (m_targets.empty())
        return false;
    for (const QHostAddress& a : m_targets)
        m_targetSet.insert(a.toIPv4Address());
    m_socket = std::make_unique<DatagramSocket>(DatagramSocket::Family::IPv4);
    if (!m_socket->isOpen())
        return false;
    m_transactionId = static_cast<std::uint16_t>(QRandomGenerator::global()->generate());
    m_request = NbnsMessage::buildNodeStatusRequest(m_transactionId);
    m_nextBurst = now;
    sendBurst(now);
    return true;
}

void NetbiosSweep::watch(std::vector<pollfd>& fds) const
{
    if (m_socket && m_socket->isOpen())
        fds.push_back({m_socket->descriptor(), POLLIN, 0});
}

DiscoveryTask::Clock::time_point NetbiosSweep::nextDue() const
{
    return m_next < m_targets.size() ? m_nextBurst : Clock::time_point::max();
}

void NetbiosSweep::sendBurst(Clock::time_point now)
{
    if (now < m_nextBurst)
        return;
    for (std::size_t sent = 0; sent < kBurst && m_next < m_targets.size(); ++sent) {
        // A refused send (full buffer, no route) ends the burst early; the address is
        // not retried, as a lost datagram would not be either.
        if (!m_socket->sendTo(m_targets[m_next++], m_port, m_request))
            break;
    }
    m_nextBurst = now + kBurstGap;
}

void NetbiosSweep::readAnswers()
{
    for (int i = 0; i < 256; ++i) {
        auto datagram = m_socket->receive(2048);
        if (!datagram)
            return;
        if (datagram->port != m_port || datagram->sender.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        const std::uint32_t from = datagram->sender.toIPv4Address();
        // Only addresses we asked, each once: anything else is not an answer to us.
        if (!m_targetSet.count(from) || m_answered.count(from) || !m_subnets.isLocal(datagram->sender))
            continue;
        const auto status = NbnsMessage::parseNodeStatusResponse(datagram->bytes);
        if (!status || status->transactionId != m_transactionId)
            continue;
        const auto identity = NbnsMessage::identify(*status);
        if (!identity)
            continue;
        m_answered.insert(from);
        DiscoveredHost host;
        host.name = identity->computer;
        host.workgroup = identity->workgroup;
        host.address = datagram->sender.toString().toStdString();
        host.source = DiscoverySource::NetbiosSweep;
        m_sink(host);
    }
}

void NetbiosSweep::advance(const std::vector<pollfd>& fds, Clock::time_point now)
{
    if (!m_socket)
        return;
    for (const pollfd& p : fds) {
        if (p.fd == m_socket->descriptor() && (p.revents & POLLIN))
            readAnswers();
    }
    sendBurst(now);
}

} // namespace qv
