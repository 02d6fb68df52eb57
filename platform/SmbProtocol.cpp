// Encoding, decoding and framing of the messages between SmbClient and qv-smb.
// Integers are little-endian; a string is its 4-byte length, then its bytes.
#include "platform/SmbProtocol.h"

#include <cerrno>
#include <unistd.h>

namespace qv {
namespace {

constexpr std::uint8_t kFolderBit = 1;
constexpr std::uint8_t kLinkBit = 2;
constexpr std::uint8_t kSpecialBit = 4;

class Writer final {
public:
    Writer() { m_bytes.resize(4); } // room for the length prefix

    void u8(std::uint8_t v) { m_bytes += static_cast<char>(v); }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    void i64(std::int64_t v)
    {
        const auto u = static_cast<std::uint64_t>(v);
        for (int i = 0; i < 8; ++i)
            m_bytes += static_cast<char>((u >> (8 * i)) & 0xFF);
    }
    void str(std::string_view s)
    {
        u32(static_cast<std::uint32_t>(s.size()));
        m_bytes.append(s);
    }
    void reserve(std::size_t n) { m_bytes.reserve(n); }

    std::string finish()
    {
        const auto length = static_cast<std::uint32_t>(m_bytes.size() - 4);
        for (int i = 0; i < 4; ++i)
            m_bytes[static_cast<std::size_t>(i)] = static_cast<char>((length >> (8 * i)) & 0xFF);
        return std::move(m_bytes);
    }

private:
    std::string m_bytes;
};

// Reads fields in order; after the first field that does not fit every later read
// fails too, so callers check ok() once at the end.
class Reader final {
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}

    std::uint8_t u8()
    {
        if (!need(1))
            return 0;
        return static_cast<std::uint8_t>(m_bytes[m_pos++]);
    }
    std::uint32_t u32()
    {
        if (!need(4))
            return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(m_bytes[m_pos++])) << (8 * i);
        return v;
    }
    std::int64_t i64()
    {
        if (!need(8))
            return 0;
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(m_bytes[m_pos++])) << (8 * i);
        return static_cast<std::int64_t>(v);
    }
    std::string str()
    {
        const std::uint32_t n = u32();
        if (!need(n))
            return {};
        std::string s(m_bytes.substr(m_pos, n));
        m_pos += n;
        return s;
    }
    // A count of items of at least `itemSize` bytes each: one that cannot fit in what
    // is left fails here, before anything is reserved for it.
    std::uint32_t count(std::size_t itemSize)
    {
        const std::uint32_t n = u32();
        if (m_ok && n > (m_bytes.size() - m_pos) / itemSize)
            m_ok = false;
        return m_ok ? n : 0;
    }
    void fail() { m_ok = false; }
    bool ok() const { return m_ok; }
    bool done() const { return m_ok && m_pos == m_bytes.size(); }

private:
    bool need(std::size_t n)
    {
        if (m_ok && n > m_bytes.size() - m_pos)
            m_ok = false;
        return m_ok;
    }

    std::string_view m_bytes;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

bool validKind(std::uint8_t kind)
{
    return kind >= static_cast<std::uint8_t>(SmbMessageKind::Hello)
        && kind <= static_cast<std::uint8_t>(SmbMessageKind::SetHostAddress);
}

} // namespace

std::string SmbProtocol::encode(const SmbRequest& request)
{
    Writer w;
    w.u8(static_cast<std::uint8_t>(request.kind));
    switch (request.kind) {
    case SmbMessageKind::Hello:
        w.u32(request.version);
        break;
    case SmbMessageKind::SetCredentials:
        w.str(request.server);
        w.str(request.credentials.user);
        w.str(request.credentials.password);
        w.str(request.credentials.domain);
        w.u8(request.credentials.kerberos ? 1 : 0);
        break;
    case SmbMessageKind::SetTimeout:
        w.u32(request.value);
        break;
    case SmbMessageKind::ListNetwork:
        w.str(request.url);
        w.u32(request.value);
        break;
    case SmbMessageKind::ListFolder:
    case SmbMessageKind::OpenFile:
        w.str(request.url);
        break;
    case SmbMessageKind::ReadChunk:
        w.u32(request.handle);
        w.u32(request.value);
        break;
    case SmbMessageKind::CloseFile:
        w.u32(request.handle);
        break;
    case SmbMessageKind::SetHostAddress:
        w.str(request.server);
        w.str(request.url);
        break;
    }
    return w.finish();
}

std::string SmbProtocol::encode(const SmbReply& reply)
{
    Writer w;
    w.u8(static_cast<std::uint8_t>(reply.kind));
    w.u32(static_cast<std::uint32_t>(reply.error));
    // The hello carries the helper's version even when it refuses the client's.
    if (reply.kind == SmbMessageKind::Hello)
        w.u32(reply.version);
    if (reply.error != 0)
        return w.finish();
    switch (reply.kind) {
    case SmbMessageKind::ListNetwork:
        w.u32(static_cast<std::uint32_t>(reply.network.size()));
        for (const auto& entry : reply.network) {
            w.u8(static_cast<std::uint8_t>(entry.kind));
            w.str(entry.name);
        }
        break;
    case SmbMessageKind::ListFolder:
        w.reserve(reply.folder.size() * 64);
        w.u32(static_cast<std::uint32_t>(reply.folder.size()));
        for (const auto& entry : reply.folder) {
            w.u8(static_cast<std::uint8_t>((entry.isFolder ? kFolderBit : 0) | (entry.isLink ? kLinkBit : 0)
                                           | (entry.isSpecial ? kSpecialBit : 0)));
            w.i64(entry.size);
            w.i64(entry.created);
            w.i64(entry.written);
            w.i64(entry.accessed);
            w.str(entry.name);
        }
        break;
    case SmbMessageKind::OpenFile:
        w.u32(reply.handle);
        break;
    case SmbMessageKind::ReadChunk:
        w.reserve(reply.data.size() + 16);
        w.str(reply.data);
        break;
    default:
        break;
    }
    return w.finish();
}

bool SmbProtocol::decode(std::string_view message, SmbRequest& request)
{
    Reader r(message);
    const std::uint8_t kind = r.u8();
    if (!r.ok() || !validKind(kind))
        return false;
    request = SmbRequest{};
    request.kind = static_cast<SmbMessageKind>(kind);
    switch (request.kind) {
    case SmbMessageKind::Hello:
        request.version = r.u32();
        break;
    case SmbMessageKind::SetCredentials: {
        request.server = r.str();
        request.credentials.user = r.str();
        request.credentials.password = r.str();
        request.credentials.domain = r.str();
        const std::uint8_t kerberos = r.u8();
        if (kerberos > 1)
            r.fail();
        request.credentials.kerberos = kerberos == 1;
        break;
    }
    case SmbMessageKind::SetTimeout:
        request.value = r.u32();
        break;
    case SmbMessageKind::ListNetwork:
        request.url = r.str();
        request.value = r.u32();
        if (request.value > static_cast<std::uint32_t>(SmbNameHint::Computer))
            r.fail();
        break;
    case SmbMessageKind::ListFolder:
    case SmbMessageKind::OpenFile:
        request.url = r.str();
        break;
    case SmbMessageKind::ReadChunk:
        request.handle = r.u32();
        request.value = r.u32();
        break;
    case SmbMessageKind::CloseFile:
        request.handle = r.u32();
        break;
    case SmbMessageKind::SetHostAddress:
        request.server = r.str();
        request.url = r.str();
        break;
    }
    return r.done();
}

bool SmbProtocol::decode(std::string_view message, SmbReply& reply)
{
    Reader r(message);
    const std::uint8_t kind = r.u8();
    const auto error = static_cast<std::int32_t>(r.u32());
    if (!r.ok() || !validKind(kind) || error < 0)
        return false;
    reply = SmbReply{};
    reply.kind = static_cast<SmbMessageKind>(kind);
    reply.error = error;
    if (reply.kind == SmbMessageKind::Hello)
        reply.version = r.u32();
    if (error != 0)
        return r.done();
    switch (reply.kind) {
    case SmbMessageKind::ListNetwork: {
        const std::uint32_t n = r.count(1 + 4);
        reply.network.reserve(n);
        for (std::uint32_t i = 0; i < n && r.ok(); ++i) {
            SmbNetEntry entry;
            const std::uint8_t entryKind = r.u8();
            if (entryKind > static_cast<std::uint8_t>(SmbNetEntry::Kind::Other))
                r.fail();
            entry.kind = static_cast<SmbNetEntry::Kind>(entryKind);
            entry.name = r.str();
            reply.network.push_back(std::move(entry));
        }
        break;
    }
    case SmbMessageKind::ListFolder: {
        const std::uint32_t n = r.count(1 + 4 * 8 + 4);
        reply.folder.reserve(n);
        for (std::uint32_t i = 0; i < n && r.ok(); ++i) {
            FileEntry entry;
            const std::uint8_t flags = r.u8();
            if (flags & ~(kFolderBit | kLinkBit | kSpecialBit))
                r.fail();
            entry.isFolder = flags & kFolderBit;
            entry.isLink = flags & kLinkBit;
            entry.isSpecial = flags & kSpecialBit;
            entry.hasDetails = true;
            entry.size = r.i64();
            entry.created = r.i64();
            entry.written = r.i64();
            entry.accessed = r.i64();
            entry.name = r.str();
            reply.folder.push_back(std::move(entry));
        }
        break;
    }
    case SmbMessageKind::OpenFile:
        reply.handle = r.u32();
        break;
    case SmbMessageKind::ReadChunk:
        reply.data = r.str();
        break;
    default:
        break;
    }
    return r.done();
}

int SmbProtocol::readFrame(int fd, std::string& message)
{
    auto readExactly = [fd](char* out, std::size_t n) -> int {
        while (n > 0) {
            const ssize_t got = ::read(fd, out, n);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            if (got == 0)
                return EPIPE;
            out += got;
            n -= static_cast<std::size_t>(got);
        }
        return 0;
    };
    message.clear();
    unsigned char prefix[4];
    if (const int rc = readExactly(reinterpret_cast<char*>(prefix), sizeof prefix))
        return rc;
    const std::uint32_t length = prefix[0] | (prefix[1] << 8) | (prefix[2] << 16)
        | (static_cast<std::uint32_t>(prefix[3]) << 24);
    if (length > kMaxMessage)
        return EMSGSIZE;
    message.resize(length);
    return readExactly(message.data(), length);
}

int SmbProtocol::writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

} // namespace qv
