#include "platform/PipeFrame.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace qv {
namespace {

// How often a wait looks at its cancel question.
constexpr auto kSlice = std::chrono::milliseconds(40);

// Waits until the descriptor is ready for `events`: 0, ETIMEDOUT or ECANCELED.
int waitFor(int fd, short events, PipeFrame::Clock::time_point deadline, const std::function<bool()>& cancelled)
{
    for (;;) {
        if (cancelled && cancelled())
            return ECANCELED;
        const auto now = PipeFrame::Clock::now();
        if (now >= deadline)
            return ETIMEDOUT;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) + std::chrono::milliseconds(1);
        pollfd p{fd, events, 0};
        const int rc = poll(&p, 1, static_cast<int>(std::min(left, std::chrono::milliseconds(kSlice)).count()));
        if (rc > 0)
            return 0; // readable, writable, or hung up: the read or write tells which
        if (rc < 0 && errno != EINTR)
            return errno;
    }
}

template <class Wait> int readExactly(int fd, char* out, std::size_t n, const Wait& wait)
{
    while (n > 0) {
        if (const int rc = wait())
            return rc;
        const ssize_t got = ::read(fd, out, n);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return errno;
        }
        if (got == 0)
            return EPIPE;
        out += got;
        n -= static_cast<std::size_t>(got);
    }
    return 0;
}

template <class Wait> int readFrame(int fd, std::string& message, std::uint32_t maxLength, const Wait& wait)
{
    message.clear();
    unsigned char prefix[4];
    if (const int rc = readExactly(fd, reinterpret_cast<char*>(prefix), sizeof prefix, wait))
        return rc;
    const std::uint32_t length = prefix[0] | (prefix[1] << 8) | (prefix[2] << 16)
        | (static_cast<std::uint32_t>(prefix[3]) << 24);
    if (length > maxLength)
        return EMSGSIZE;
    message.resize(length);
    return readExactly(fd, message.data(), length, wait);
}

template <class Wait> int writeEvery(int fd, std::string_view bytes, const Wait& wait)
{
    while (!bytes.empty()) {
        if (const int rc = wait())
            return rc;
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

} // namespace

int PipeFrame::read(int fd, std::string& message, std::uint32_t maxLength)
{
    return readFrame(fd, message, maxLength, [] { return 0; });
}

int PipeFrame::readBefore(int fd, std::string& message, std::uint32_t maxLength, Clock::time_point deadline,
                          const std::function<bool()>& cancelled)
{
    return readFrame(fd, message, maxLength, [&] { return waitFor(fd, POLLIN, deadline, cancelled); });
}

int PipeFrame::writeAll(int fd, std::string_view bytes)
{
    return writeEvery(fd, bytes, [] { return 0; });
}

int PipeFrame::writeAllBefore(int fd, std::string_view bytes, Clock::time_point deadline,
                              const std::function<bool()>& cancelled)
{
    return writeEvery(fd, bytes, [&] { return waitFor(fd, POLLOUT, deadline, cancelled); });
}

} // namespace qv
