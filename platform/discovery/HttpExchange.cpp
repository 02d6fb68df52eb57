// Non-blocking POSIX TCP for the metadata exchange.
#include "platform/discovery/HttpExchange.h"

#include <QNetworkInterface>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qv {
namespace {

// Room for the headers and for chunk framing on top of the body itself.
constexpr std::size_t kFramingAllowance = HttpMessage::kMaxHeaderBytes + 16 * 1024;

} // namespace

HttpExchange::HttpExchange(const QHostAddress& address, std::uint16_t port, std::string request,
                           Clock::time_point deadline, std::size_t maxBody)
    : m_request(std::move(request))
    , m_deadline(deadline)
    , m_maxBody(maxBody)
{
    sockaddr_storage ss{};
    socklen_t len = 0;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* sa = reinterpret_cast<sockaddr_in*>(&ss);
        sa->sin_family = AF_INET;
        sa->sin_port = htons(port);
        sa->sin_addr.s_addr = htonl(address.toIPv4Address());
        len = sizeof(sockaddr_in);
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* sa = reinterpret_cast<sockaddr_in6*>(&ss);
        sa->sin6_family = AF_INET6;
        sa->sin6_port = htons(port);
        const Q_IPV6ADDR raw = address.toIPv6Address();
        std::memcpy(&sa->sin6_addr, raw.c, 16);
        if (!address.scopeId().isEmpty()) {
            bool numeric = false;
            const unsigned index = address.scopeId().toUInt(&numeric);
            sa->sin6_scope_id = numeric ? index
                                        : static_cast<unsigned>(QNetworkInterface::interfaceIndexFromName(address.scopeId()));
        }
        len = sizeof(sockaddr_in6);
    } else {
        return;
    }
    m_fd = ::socket(ss.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return;
    const int rc = ::connect(m_fd, reinterpret_cast<const sockaddr*>(&ss), len);
    if (rc == 0)
        m_phase = Phase::Sending;
    else if (errno == EINPROGRESS)
        m_phase = Phase::Connecting;
    else
        fail();
}

HttpExchange::~HttpExchange()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

short HttpExchange::wantedEvents() const
{
    switch (m_phase) {
    case Phase::Connecting:
    case Phase::Sending:
        return POLLOUT;
    case Phase::Receiving:
        return POLLIN;
    default:
        return 0;
    }
}

void HttpExchange::fail()
{
    m_phase = Phase::Failed;
    m_body.clear();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void HttpExchange::advance(short revents, Clock::time_point now)
{
    if (finished())
        return;
    if (m_phase == Phase::Connecting && (revents & (POLLOUT | POLLERR | POLLHUP))) {
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
            fail();
            return;
        }
        m_phase = Phase::Sending;
        revents |= POLLOUT;
    }
    if (m_phase == Phase::Sending && (revents & POLLOUT)) {
        while (m_sent < m_request.size()) {
            const ssize_t n = ::send(m_fd, m_request.data() + m_sent, m_request.size() - m_sent, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    fail();
                break;
            }
            m_sent += static_cast<std::size_t>(n);
        }
        // No half-close after the request: some servers take it for an abort.
        if (m_phase == Phase::Sending && m_sent == m_request.size())
            m_phase = Phase::Receiving;
    } else if (m_phase == Phase::Receiving && (revents & (POLLIN | POLLHUP | POLLERR))) {
        receive();
    }
    if (!finished() && now >= m_deadline)
        fail();
}

void HttpExchange::receive()
{
    bool closed = false;
    char buffer[16384];
    // A bounded number of reads per step, so that a fast sender cannot hold the loop;
    // what is left waits for the next poll.
    for (int i = 0; i < 16; ++i) {
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n == 0) {
            closed = true;
            break;
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                closed = true; // a reset: what came before it may still be whole
            break;
        }
        if (m_received.size() + static_cast<std::size_t>(n) > m_maxBody + kFramingAllowance) {
            fail();
            return;
        }
        m_received.append(buffer, static_cast<std::size_t>(n));
    }
    HttpResponse response = HttpMessage::parseResponse(m_received, closed, m_maxBody);
    if (response.state == HttpState::Complete) {
        m_body = std::move(response.body);
        m_phase = Phase::Done;
        m_received.clear();
        ::close(m_fd);
        m_fd = -1;
    } else if (response.state == HttpState::Failed || closed) {
        fail();
    }
}

} // namespace qv
