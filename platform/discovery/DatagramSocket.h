// A non-blocking UDP socket bound to an ephemeral port, for the discovery sources'
// poll loop: sends to unicast or (per interface) multicast addresses and hands back
// whole datagrams with their sender. Plain POSIX so that it needs no Qt event loop.
#pragma once

#include <QHostAddress>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

struct Datagram {
    std::string bytes;
    QHostAddress sender; // IPv6 link-local senders carry their interface as scope
    std::uint16_t port = 0;
    unsigned interfaceIndex = 0; // for IPv6 senders with a scope; 0 otherwise
};

class LocalSubnets;

class DatagramSocket final {
public:
    enum class Family { IPv4, IPv6 };

    // Opens the socket and binds it to an ephemeral port on every address of the
    // family; isOpen() tells whether that worked.
    explicit DatagramSocket(Family family);

    // One socket per family that some multicast-capable interface of `subnets` has,
    // each with the given multicast hop limit; false when none could be opened.
    static bool openForMulticast(const LocalSubnets& subnets, int hops, std::unique_ptr<DatagramSocket>& ipv4,
                                 std::unique_ptr<DatagramSocket>& ipv6);
    ~DatagramSocket();
    DatagramSocket(const DatagramSocket&) = delete;
    DatagramSocket& operator=(const DatagramSocket&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    Family family() const { return m_family; }

    // Hop limit of multicast datagrams (1 keeps them on the link).
    void setMulticastHops(int hops);

    // Sends one datagram; multicast goes out on the interface given by index (and, for
    // IPv4, that interface's address). False when the system did not take it (a full
    // buffer included): discovery is best-effort, the caller may try once more later.
    bool sendTo(const QHostAddress& to, std::uint16_t port, std::string_view bytes, unsigned interfaceIndex = 0,
                const QHostAddress& interfaceAddress = {});

    // The next waiting datagram, or nullopt when none is waiting. Datagrams larger
    // than maxBytes are read and thrown away (never handed on cut short).
    std::optional<Datagram> receive(std::size_t maxBytes = 65536);

private:
    int m_fd = -1;
    Family m_family;
};

} // namespace qv
