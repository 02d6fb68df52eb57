// The qv-smb message decoder on any bytes, as either side reads them: a message it
// takes is encoded back to exactly its bytes (so no two messages mean the same and
// nothing is dropped or invented), and the frame's length prefix is the message's.
// Also the frame reader over a pipe: whole frames come back as they were written.
#include "fuzz/FuzzCheck.h"
#include "platform/SmbProtocol.h"

#include <cerrno>
#include <cstdint>
#include <string>
#include <unistd.h>

using namespace qv;
using qv::fuzz::shown;

namespace {

std::uint32_t prefixOf(const std::string& frame)
{
    std::uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
        n |= static_cast<std::uint32_t>(static_cast<unsigned char>(frame[static_cast<std::size_t>(i)])) << (8 * i);
    return n;
}

template <typename Message>
void checkRoundTrip(std::string_view message, const char* side)
{
    Message decoded;
    if (!SmbProtocol::decode(message, decoded))
        return;
    const std::string frame = SmbProtocol::encode(decoded);
    QV_FUZZ_CHECK(frame.size() >= 4 && prefixOf(frame) == frame.size() - 4, std::string(side) + ": a frame's prefix is not its length");
    QV_FUZZ_CHECK(std::string_view(frame).substr(4) == message,
                  std::string(side) + " «" + shown(message) + "» encodes back as «" + shown(std::string_view(frame).substr(4)) + "»");
    Message again;
    QV_FUZZ_CHECK(SmbProtocol::decode(std::string_view(frame).substr(4), again), std::string(side) + ": its own encoding is refused");
}

// Small inputs go through a pipe as one frame, then the pipe is closed: the reader gives
// the message, then EPIPE.
void checkFrameReader(std::string_view message)
{
    if (message.size() > 4096)
        return;
    int fds[2];
    if (pipe(fds) != 0)
        return;
    std::string frame(4, '\0');
    for (int i = 0; i < 4; ++i)
        frame[static_cast<std::size_t>(i)] = static_cast<char>((message.size() >> (8 * i)) & 0xFF);
    frame.append(message);
    const int written = SmbProtocol::writeAll(fds[1], frame);
    close(fds[1]);
    std::string read;
    const int first = SmbProtocol::readFrame(fds[0], read);
    const int second = SmbProtocol::readFrame(fds[0], read);
    close(fds[0]);
    QV_FUZZ_CHECK(written == 0 && first == 0 && second == EPIPE, "a frame through a pipe: write " + std::to_string(written)
                                                                     + ", reads " + std::to_string(first) + " and " + std::to_string(second));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view message(reinterpret_cast<const char*>(data), size);
    checkRoundTrip<SmbRequest>(message, "request");
    checkRoundTrip<SmbReply>(message, "reply");
    checkFrameReader(message);
    return 0;
}
