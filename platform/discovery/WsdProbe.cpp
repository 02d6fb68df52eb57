// WS-Discovery probe, resolve and metadata fetch on the discovery poll loop.
#include "platform/discovery/WsdProbe.h"

#include <set>

namespace qv {
namespace {

using namespace std::chrono_literals;

constexpr auto kRepeatAfter = 300ms;     // SOAP-over-UDP sends multicast messages twice
constexpr auto kResolveAgainAfter = 500ms;
constexpr auto kWaitForIpv4 = 150ms;     // a device probed on both families answers on both at once

} // namespace

WsdProbe::WsdProbe(const LocalSubnets& subnets, Clock::time_point deadline, HostSink sink)
    : m_subnets(subnets)
    , m_deadline(deadline)
    , m_sink(std::move(sink))
{
}

std::optional<HttpUrl> WsdProbe::usableAddress(const std::vector<std::string>& xaddrs, const QHostAddress& sender,
                                               const LocalSubnets& subnets)
{
    if (!subnets.isLocal(sender))
        return std::nullopt;
    std::optional<HttpUrl> ipv6;
    for (const std::string& x : xaddrs) {
        auto url = HttpMessage::parseUrl(x);
        if (!url)
            continue;
        if (url->address.protocol() == QAbstractSocket::IPv6Protocol && url->address.isLinkLocal())
            url->address.setScopeId(sender.scopeId());
        if (!subnets.isLocal(url->address) || !(url->address == sender || subnets.sameSubnet(url->address, sender)))
            continue;
        if (url->address.protocol() == QAbstractSocket::IPv4Protocol)
            return url;
        if (!ipv6)
            ipv6 = std::move(url);
    }
    return ipv6;
}

bool WsdProbe::start(Clock::time_point now)
{
    // Hop limit 1: 239.255.255.250 is only administratively scoped, and the probe is
    // meant for this link alone.
    if (!DatagramSocket::openForMulticast(m_subnets, 1, m_ipv4, m_ipv6))
        return false;
    m_probeId = WsdMessage::newMessageId();
    m_probe = WsdMessage::buildProbe(m_probeId);
    multicast(m_probe);
    m_repeatAt = now + kRepeatAfter;
    return true;
}

void WsdProbe::multicast(const std::string& message)
{
    std::set<unsigned> ipv4Done;
    std::set<unsigned> ipv6Done;
    const QHostAddress group4(QString::fromLatin1(WsdMessage::kIpv4Group));
    const QHostAddress group6(QString::fromLatin1(WsdMessage::kIpv6Group));
    for (const LocalAddress& a : m_subnets.addresses()) {
        if (!a.canMulticast)
            continue;
        if (a.address.protocol() == QAbstractSocket::IPv4Protocol && m_ipv4 && ipv4Done.insert(a.interfaceIndex).second)
            m_ipv4->sendTo(group4, WsdMessage::kPort, message, a.interfaceIndex, a.address);
        else if (a.address.protocol() == QAbstractSocket::IPv6Protocol && m_ipv6 && ipv6Done.insert(a.interfaceIndex).second)
            m_ipv6->sendTo(group6, WsdMessage::kPort, message, a.interfaceIndex);
    }
}

void WsdProbe::watch(std::vector<pollfd>& fds) const
{
    if (m_ipv4 && m_ipv4->isOpen())
        fds.push_back({m_ipv4->descriptor(), POLLIN, 0});
    if (m_ipv6 && m_ipv6->isOpen())
        fds.push_back({m_ipv6->descriptor(), POLLIN, 0});
    for (const auto& [endpoint, device] : m_devices) {
        if (device.exchange && !device.exchange->finished())
            fds.push_back({device.exchange->descriptor(), device.exchange->wantedEvents(), 0});
    }
}

DiscoveryTask::Clock::time_point WsdProbe::nextDue() const
{
    Clock::time_point due = m_repeatAt;
    for (const auto& [endpoint, device] : m_devices) {
        if (device.state == State::Resolving || device.state == State::WaitingForIpv4)
            due = std::min(due, device.dueAt);
    }
    return due;
}

void WsdProbe::advance(const std::vector<pollfd>& fds, Clock::time_point now)
{
    for (const pollfd& p : fds) {
        if (!(p.revents & POLLIN))
            continue;
        if (m_ipv4 && p.fd == m_ipv4->descriptor())
            read(*m_ipv4, now);
        else if (m_ipv6 && p.fd == m_ipv6->descriptor())
            read(*m_ipv6, now);
    }
    for (auto& [endpoint, device] : m_devices) {
        if (device.state == State::Fetching) {
            short revents = 0;
            for (const pollfd& p : fds) {
                if (p.fd == device.exchange->descriptor())
                    revents = p.revents;
            }
            device.exchange->advance(revents, now);
            if (device.exchange->finished())
                finish(device);
        } else if (device.state == State::WaitingForIpv4 && now >= device.dueAt) {
            fetch(device, *device.url);
        } else if (device.state == State::Resolving && now >= device.dueAt) {
            if (device.resolves >= 2) {
                device.dueAt = Clock::time_point::max(); // still listening for a late answer
                continue;
            }
            ++device.resolves;
            multicast(WsdMessage::buildResolve(device.resolveId, device.endpoint));
            device.dueAt = now + kResolveAgainAfter;
        }
    }
    if (now >= m_repeatAt) {
        m_repeatAt = Clock::time_point::max();
        multicast(m_probe);
    }
}

void WsdProbe::read(DatagramSocket& socket, Clock::time_point now)
{
    for (int i = 0; i < 64; ++i) {
        auto datagram = socket.receive();
        if (!datagram)
            return;
        if (!m_subnets.isLocal(datagram->sender))
            continue;
        const auto reply = WsdMessage::parseReply(datagram->bytes);
        if (!reply)
            continue;
        if (reply->kind == WsdReply::Kind::ProbeMatches) {
            if (reply->relatesTo != m_probeId)
                continue;
            for (const WsdMatch& match : reply->matches)
                consider(match, datagram->sender, now);
        } else {
            for (const WsdMatch& match : reply->matches) {
                auto it = m_devices.find(match.endpoint);
                if (it != m_devices.end() && it->second.resolveId == reply->relatesTo)
                    consider(match, datagram->sender, now);
            }
        }
    }
}

void WsdProbe::consider(const WsdMatch& match, const QHostAddress& sender, Clock::time_point now)
{
    auto it = m_devices.find(match.endpoint);
    if (it == m_devices.end()) {
        if (m_devices.size() >= kMaxDevices)
            return;
        it = m_devices.emplace(match.endpoint, Device{}).first;
        it->second.endpoint = match.endpoint;
        it->second.dueAt = Clock::time_point::max();
    }
    Device& device = it->second;
    if (device.state == State::Fetching || device.state == State::Done)
        return;
    if (match.xaddrs.empty()) {
        // Only a Resolve can tell where the device listens; one is sent on the next
        // step (and once more if unanswered).
        if (device.resolveId.empty()) {
            device.resolveId = WsdMessage::newMessageId();
            device.state = State::Resolving;
            device.dueAt = now;
        }
        return;
    }
    auto url = usableAddress(match.xaddrs, sender, m_subnets);
    if (!url)
        return; // nothing we may connect to; the other family's answer may do better
    if (url->address.protocol() == QAbstractSocket::IPv4Protocol) {
        fetch(device, *url);
    } else if (device.state != State::WaitingForIpv4) {
        device.state = State::WaitingForIpv4;
        device.url = std::move(url);
        device.dueAt = now + kWaitForIpv4;
    }
}

void WsdProbe::fetch(Device& device, const HttpUrl& url)
{
    device.url = url;
    device.state = State::Fetching;
    const std::string body = WsdMessage::buildGet(WsdMessage::newMessageId(), device.endpoint);
    device.exchange = std::make_unique<HttpExchange>(url.address, url.port,
                                                     HttpMessage::buildPost(url, WsdMessage::kContentType, body),
                                                     m_deadline, kMaxMetadataBytes);
    if (device.exchange->finished())
        finish(device);
}

void WsdProbe::finish(Device& device)
{
    device.state = State::Done;
    if (device.exchange->phase() == HttpExchange::Phase::Done) {
        if (const auto computer = WsdMessage::parseMetadata(device.exchange->body())) {
            DiscoveredHost host;
            host.name = computer->name;
            host.workgroup = computer->workgroup;
            host.isDomain = computer->isDomain;
            host.address = device.url->address.toString().toStdString();
            host.source = DiscoverySource::WsDiscovery;
            m_sink(host);
        }
    }
    device.exchange.reset();
}

} // namespace qv
