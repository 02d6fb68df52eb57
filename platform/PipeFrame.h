// Frames on the pipes to and from the helper processes: a 4-byte little-endian
// length, then the message.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qv {

class PipeFrame final {
public:
    using Clock = std::chrono::steady_clock;

    // One frame's message: 0, EPIPE when the other end closed the pipe (before or
    // inside a frame), EMSGSIZE for a length above maxLength, or the read's errno.
    static int read(int fd, std::string& message, std::uint32_t maxLength);

    // The same, waiting no later than the deadline (ETIMEDOUT) and asking `cancelled`
    // every few tens of milliseconds (ECANCELED when it says so).
    static int readBefore(int fd, std::string& message, std::uint32_t maxLength, Clock::time_point deadline,
                          const std::function<bool()>& cancelled);

    // Every byte: 0, or the write's errno (EPIPE when the reader is gone).
    static int writeAll(int fd, std::string_view bytes);

    // The same on a descriptor that may be non-blocking, with a deadline as above.
    static int writeAllBefore(int fd, std::string_view bytes, Clock::time_point deadline,
                              const std::function<bool()>& cancelled);
};

} // namespace qv
