// The messages between SmbClient and the qv-smb helper process, and how they are
// framed on the pipes: a 4-byte little-endian length, then the message.
#pragma once

#include "platform/FileEntry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// One entry of the network above the shares: a workgroup, a computer or a share.
struct SmbNetEntry {
    enum class Kind : std::uint8_t { Workgroup, Server, FileShare, PrinterShare, Other };
    std::string name;
    Kind kind = Kind::Other;

    friend bool operator==(const SmbNetEntry&, const SmbNetEntry&) = default;
};

// What the helper answers a server's authentication request with. An empty user
// with an empty password is an anonymous (guest) session.
struct SmbCredentials {
    std::string user;
    std::string password;
    std::string domain;   // empty: the workgroup from smb.conf
    bool kerberos = false; // try Kerberos first, then fall back to the password

    friend bool operator==(const SmbCredentials&, const SmbCredentials&) = default;
};

enum class SmbMessageKind : std::uint8_t {
    Hello = 1,      // version -> version
    SetCredentials, // server ("" = default entry), credentials -> status
    SetTimeout,     // value = ms -> status
    ListNetwork,    // url, value = what one name is (SmbNameHint) -> network entries
    ListFolder,     // url -> folder entries with details
    OpenFile,       // url -> handle
    ReadChunk,      // handle, value = most bytes -> data (empty at the end)
    CloseFile,      // handle -> status
    SetHostAddress, // server = computer name, url = its address ("" forgets it) -> status
};

// What the one name of "smb://NAME" is, when the asker knows: a URL cannot tell.
enum class SmbNameHint : std::uint32_t { Unknown = 0, Workgroup = 1, Computer = 2 };

struct SmbRequest {
    SmbMessageKind kind = SmbMessageKind::Hello;
    std::uint32_t version = 0;
    std::string server;
    SmbCredentials credentials;
    std::uint32_t value = 0;
    std::uint32_t handle = 0;
    std::string url;

    friend bool operator==(const SmbRequest&, const SmbRequest&) = default;
};

// Every reply names the request kind it answers and carries 0 or an errno value;
// the fields of its kind follow only when that is 0.
struct SmbReply {
    SmbMessageKind kind = SmbMessageKind::Hello;
    std::int32_t error = 0;
    std::uint32_t version = 0;
    std::vector<SmbNetEntry> network;
    std::vector<FileEntry> folder;
    std::uint32_t handle = 0;
    std::string data;
};

class SmbProtocol final {
public:
    // Raised whenever a message changes shape; the helper refuses any other.
    static constexpr std::uint32_t kVersion = 3;
    // The largest message either side accepts: a folder of a million entries fits.
    static constexpr std::uint32_t kMaxMessage = 256u << 20;
    // The largest read a helper serves at once.
    static constexpr std::uint32_t kMaxChunk = 4u << 20;

    // Whole frames, length prefix included, ready to be written.
    static std::string encode(const SmbRequest& request);
    static std::string encode(const SmbReply& reply);

    // A message without its length prefix; false when it is cut short, has bytes
    // left over, or holds values no message has.
    static bool decode(std::string_view message, SmbRequest& request);
    static bool decode(std::string_view message, SmbReply& reply);

    // Reads one frame's message: 0, EPIPE when the other end closed the pipe (before or
    // inside a frame), EMSGSIZE for a length above kMaxMessage, or the read's errno.
    static int readFrame(int fd, std::string& message);
    // Writes every byte: 0, or the write's errno (EPIPE when the reader is gone).
    static int writeAll(int fd, std::string_view bytes);
};

} // namespace qv
