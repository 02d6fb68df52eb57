// The subnets this machine sits on (up, non-loopback interfaces) and the questions the
// discovery sources ask of them: is an address local, are two addresses neighbours,
// which IPv4 addresses does the NetBIOS sweep visit.
#pragma once

#include <QHostAddress>
#include <QString>

#include <cstdint>
#include <vector>

namespace qv {

struct LocalAddress {
    QHostAddress address; // IPv6 link-local addresses carry the interface as scope
    int prefixLength = 0;
    unsigned interfaceIndex = 0;
    QString interfaceName;
    bool canMulticast = false;
};

class LocalSubnets final {
public:
    LocalSubnets() = default;
    explicit LocalSubnets(std::vector<LocalAddress> addresses);

    // Addresses of every interface that is up and running and not a loopback.
    static LocalSubnets fromSystem();

    const std::vector<LocalAddress>& addresses() const { return m_addresses; }
    bool empty() const { return m_addresses.empty(); }

    // The entry whose subnet holds address (an IPv6 link-local address only matches
    // entries of its own interface); nullptr when none does. The subnet's own network
    // and broadcast addresses (IPv4, prefix 30 or shorter) are no host and match none.
    const LocalAddress* subnetOf(const QHostAddress& address) const;
    bool isLocal(const QHostAddress& address) const { return subnetOf(address) != nullptr; }

    // True when a and b lie in one and the same local subnet. A discovery answer may
    // send us on to another address only under this condition.
    bool sameSubnet(const QHostAddress& a, const QHostAddress& b) const;

    // The IPv4 host addresses a node-status sweep sends to: each IPv4 subnet's hosts
    // (only the /22 holding our own address when the subnet is wider), without any of
    // our own addresses, each address once, in ascending order per subnet.
    std::vector<QHostAddress> sweepTargets() const;

    // The sweep of one interface address: every host address of its subnet (prefix 22
    // to 30) or of the /22 around ownAddress (prefix below 22), without ownAddress and
    // the subnet's network and broadcast addresses; nothing for /31, /32 or bad input.
    static std::vector<std::uint32_t> sweepOf(std::uint32_t ownAddress, int prefixLength);

    static constexpr int kWidestSweepPrefix = 22;

private:
    std::vector<LocalAddress> m_addresses;
};

} // namespace qv
