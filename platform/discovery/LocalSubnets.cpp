// Interface list through QNetworkInterface and subnet arithmetic on its entries.
#include "platform/discovery/LocalSubnets.h"

#include <QNetworkInterface>

#include <algorithm>
#include <set>

namespace qv {
namespace {

std::uint32_t maskOf(int prefixLength)
{
    return prefixLength <= 0 ? 0u : (prefixLength >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - prefixLength)) - 1u));
}

bool isNetworkOrBroadcast(const QHostAddress& address, const LocalAddress& entry)
{
    if (address.protocol() != QAbstractSocket::IPv4Protocol || entry.prefixLength > 30)
        return false;
    const std::uint32_t mask = maskOf(entry.prefixLength);
    const std::uint32_t host = address.toIPv4Address() & ~mask;
    return host == 0 || host == ~mask;
}

bool entryHolds(const LocalAddress& entry, const QHostAddress& address)
{
    if (address.protocol() != entry.address.protocol() || address.protocol() == QAbstractSocket::UnknownNetworkLayerProtocol)
        return false;
    if (address.protocol() == QAbstractSocket::IPv6Protocol && address.isLinkLocal()) {
        // fe80::/64 exists once per interface: only the scope says which one is meant.
        if (!entry.address.isLinkLocal())
            return false;
        const QString scope = address.scopeId();
        if (scope.isEmpty())
            return false;
        bool numeric = false;
        const unsigned index = scope.toUInt(&numeric);
        if (numeric ? index != entry.interfaceIndex : scope != entry.interfaceName)
            return false;
    }
    QHostAddress plain = address;
    plain.setScopeId(QString());
    QHostAddress network = entry.address;
    network.setScopeId(QString());
    return plain.isInSubnet(network, entry.prefixLength) && !isNetworkOrBroadcast(plain, entry);
}

} // namespace

LocalSubnets::LocalSubnets(std::vector<LocalAddress> addresses)
    : m_addresses(std::move(addresses))
{
}

LocalSubnets LocalSubnets::fromSystem()
{
    std::vector<LocalAddress> addresses;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning)
            || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (ip.isNull() || ip.isLoopback() || entry.prefixLength() < 0)
                continue;
            if (ip.protocol() != QAbstractSocket::IPv4Protocol && ip.protocol() != QAbstractSocket::IPv6Protocol)
                continue;
            LocalAddress local;
            local.address = ip;
            if (ip.protocol() == QAbstractSocket::IPv6Protocol && ip.isLinkLocal())
                local.address.setScopeId(iface.name());
            local.prefixLength = entry.prefixLength();
            local.interfaceIndex = static_cast<unsigned>(iface.index());
            local.interfaceName = iface.name();
            local.canMulticast = flags.testFlag(QNetworkInterface::CanMulticast);
            addresses.push_back(std::move(local));
        }
    }
    return LocalSubnets(std::move(addresses));
}

const LocalAddress* LocalSubnets::subnetOf(const QHostAddress& address) const
{
    for (const LocalAddress& entry : m_addresses) {
        if (entryHolds(entry, address))
            return &entry;
    }
    return nullptr;
}

bool LocalSubnets::sameSubnet(const QHostAddress& a, const QHostAddress& b) const
{
    for (const LocalAddress& entry : m_addresses) {
        if (entryHolds(entry, a) && entryHolds(entry, b))
            return true;
    }
    return false;
}

std::vector<std::uint32_t> LocalSubnets::sweepOf(std::uint32_t ownAddress, int prefixLength)
{
    std::vector<std::uint32_t> targets;
    if (prefixLength < 0 || prefixLength > 30)
        return targets;
    const std::uint32_t mask = maskOf(prefixLength);
    const std::uint32_t network = ownAddress & mask;
    const std::uint32_t broadcast = network | ~mask;
    const std::uint32_t blockMask = maskOf(std::max(prefixLength, kWidestSweepPrefix));
    const std::uint32_t first = ownAddress & blockMask;
    const std::uint32_t last = first | ~blockMask;
    targets.reserve(last - first + 1);
    for (std::uint32_t a = first;; ++a) {
        if (a != ownAddress && a != network && a != broadcast)
            targets.push_back(a);
        if (a == last)
            break;
    }
    return targets;
}

std::vector<QHostAddress> LocalSubnets::sweepTargets() const
{
    std::set<std::uint32_t> own;
    for (const LocalAddress& entry : m_addresses) {
        if (entry.address.protocol() == QAbstractSocket::IPv4Protocol)
            own.insert(entry.address.toIPv4Address());
    }
    std::set<std::uint32_t> seen;
    std::vector<QHostAddress> targets;
    for (const LocalAddress& entry : m_addresses) {
        if (entry.address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        for (const std::uint32_t a : sweepOf(entry.address.toIPv4Address(), entry.prefixLength)) {
            if (!own.count(a) && seen.insert(a).second)
                targets.emplace_back(a);
        }
    }
    return targets;
}

} // namespace qv
