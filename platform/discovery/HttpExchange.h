// One HTTP request over a non-blocking TCP connection, driven by the discovery poll
// loop: connect, send, read the response into a bounded buffer, all by a deadline.
#pragma once

#include "platform/discovery/HttpMessage.h"

#include <QHostAddress>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace qv {

class HttpExchange final {
public:
    using Clock = std::chrono::steady_clock;
    enum class Phase { Connecting, Sending, Receiving, Done, Failed };

    // Starts connecting at once; the exchange fails when it is not done by deadline or
    // the response body would pass maxBody bytes.
    HttpExchange(const QHostAddress& address, std::uint16_t port, std::string request, Clock::time_point deadline,
                 std::size_t maxBody);
    ~HttpExchange();
    HttpExchange(const HttpExchange&) = delete;
    HttpExchange& operator=(const HttpExchange&) = delete;

    bool finished() const { return m_phase == Phase::Done || m_phase == Phase::Failed; }
    Phase phase() const { return m_phase; }
    // The body of a 200 response, once Done.
    const std::string& body() const { return m_body; }

    int descriptor() const { return m_fd; }
    short wantedEvents() const;
    Clock::time_point deadline() const { return m_deadline; }

    // Moves the exchange on after poll reported revents for its descriptor (0 when
    // only time passed).
    void advance(short revents, Clock::time_point now);

private:
    void fail();
    void receive();

    int m_fd = -1;
    Phase m_phase = Phase::Failed;
    std::string m_request;
    std::size_t m_sent = 0;
    std::string m_received;
    std::string m_body;
    Clock::time_point m_deadline;
    std::size_t m_maxBody;
};

} // namespace qv
