// POSIX UDP socket for the discovery sources.
#include "platform/discovery/DatagramSocket.h"

#include "platform/discovery/LocalSubnets.h"

#include <QNetworkInterface>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qv {

DatagramSocket::DatagramSocket(Family family)
    : m_family(family)
{
    const int domain = family == Family::IPv4 ? AF_INET : AF_INET6;
    m_fd = ::socket(domain, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return;
    int rc = -1;
    if (family == Family::IPv4) {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_ANY);
        rc = ::bind(m_fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } else {
        const int only = 1;
        ::setsockopt(m_fd, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
        sockaddr_in6 sa{};
        sa.sin6_family = AF_INET6;
        sa.sin6_addr = in6addr_any;
        rc = ::bind(m_fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    }
    if (rc != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

DatagramSocket::~DatagramSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void DatagramSocket::setMulticastHops(int hops)
{
    if (m_fd < 0)
        return;
    if (m_family == Family::IPv4) {
        const unsigned char ttl = static_cast<unsigned char>(hops);
        ::setsockopt(m_fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    } else {
        ::setsockopt(m_fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &hops, sizeof hops);
    }
}

bool DatagramSocket::sendTo(const QHostAddress& to, std::uint16_t port, std::string_view bytes, unsigned interfaceIndex,
                            const QHostAddress& interfaceAddress)
{
    if (m_fd < 0)
        return false;
    ssize_t sent = -1;
    if (m_family == Family::IPv4) {
        if (to.protocol() != QAbstractSocket::IPv4Protocol)
            return false;
        if (to.isMulticast()) {
            // The interface must be chosen for every multicast datagram: without it the
            // routing table picks one, which may not be the link we mean to ask.
            if (interfaceIndex == 0)
                return false;
            ip_mreqn req{};
            req.imr_ifindex = static_cast<int>(interfaceIndex);
            if (interfaceAddress.protocol() == QAbstractSocket::IPv4Protocol)
                req.imr_address.s_addr = htonl(interfaceAddress.toIPv4Address());
            if (::setsockopt(m_fd, IPPROTO_IP, IP_MULTICAST_IF, &req, sizeof req) != 0)
                return false;
        }
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        sa.sin_addr.s_addr = htonl(to.toIPv4Address());
        sent = ::sendto(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } else {
        if (to.protocol() != QAbstractSocket::IPv6Protocol)
            return false;
        unsigned scope = interfaceIndex;
        if (to.isMulticast()) {
            if (interfaceIndex == 0)
                return false;
            const int index = static_cast<int>(interfaceIndex);
            if (::setsockopt(m_fd, IPPROTO_IPV6, IPV6_MULTICAST_IF, &index, sizeof index) != 0)
                return false;
        } else if (scope == 0 && !to.scopeId().isEmpty()) {
            scope = static_cast<unsigned>(QNetworkInterface::interfaceIndexFromName(to.scopeId()));
        }
        sockaddr_in6 sa{};
        sa.sin6_family = AF_INET6;
        sa.sin6_port = htons(port);
        const Q_IPV6ADDR raw = to.toIPv6Address();
        std::memcpy(&sa.sin6_addr, raw.c, 16);
        if (to.isLinkLocal() || to.isMulticast())
            sa.sin6_scope_id = scope;
        sent = ::sendto(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    }
    return sent == static_cast<ssize_t>(bytes.size());
}

std::optional<Datagram> DatagramSocket::receive(std::size_t maxBytes)
{
    if (m_fd < 0)
        return std::nullopt;
    // A flood of datagrams that are all dropped must not keep the caller here: after a
    // bounded number the loop gives up, and the next poll finds the rest.
    for (int attempt = 0; attempt < 64; ++attempt) {
        Datagram d;
        d.bytes.resize(maxBytes);
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        const ssize_t n = ::recvfrom(m_fd, d.bytes.data(), d.bytes.size(), MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&ss), &len);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // EAGAIN: nothing waiting. Anything else (an ICMP error queued on the
            // socket) concerns one datagram only: report nothing now, poll again later.
            return std::nullopt;
        }
        if (static_cast<std::size_t>(n) > maxBytes)
            continue; // cut short by the buffer: dropped whole
        d.bytes.resize(static_cast<std::size_t>(n));
        if (ss.ss_family == AF_INET) {
            const auto* sa = reinterpret_cast<const sockaddr_in*>(&ss);
            d.sender = QHostAddress(ntohl(sa->sin_addr.s_addr));
            d.port = ntohs(sa->sin_port);
        } else if (ss.ss_family == AF_INET6) {
            const auto* sa = reinterpret_cast<const sockaddr_in6*>(&ss);
            d.sender = QHostAddress(reinterpret_cast<const quint8*>(sa->sin6_addr.s6_addr));
            d.port = ntohs(sa->sin6_port);
            if (sa->sin6_scope_id != 0) {
                d.interfaceIndex = sa->sin6_scope_id;
                const QString name = QNetworkInterface::interfaceNameFromIndex(static_cast<int>(sa->sin6_scope_id));
                d.sender.setScopeId(name.isEmpty() ? QString::number(sa->sin6_scope_id) : name);
            }
        } else {
            continue;
        }
        return d;
    }
    return std::nullopt;
}

bool DatagramSocket::openForMulticast(const LocalSubnets& subnets, int hops, std::unique_ptr<DatagramSocket>& ipv4,
                                      std::unique_ptr<DatagramSocket>& ipv6)
{
    bool wantIpv4 = false;
    bool wantIpv6 = false;
    for (const LocalAddress& a : subnets.addresses()) {
        if (!a.canMulticast)
            continue;
        wantIpv4 = wantIpv4 || a.address.protocol() == QAbstractSocket::IPv4Protocol;
        wantIpv6 = wantIpv6 || a.address.protocol() == QAbstractSocket::IPv6Protocol;
    }
    if (wantIpv4) {
        ipv4 = std::make_unique<DatagramSocket>(Family::IPv4);
        ipv4->setMulticastHops(hops);
    }
    if (wantIpv6) {
        ipv6 = std::make_unique<DatagramSocket>(Family::IPv6);
        ipv6->setMulticastHops(hops);
    }
    return (ipv4 && ipv4->isOpen()) || (ipv6 && ipv6->isOpen());
}

} // namespace qv
