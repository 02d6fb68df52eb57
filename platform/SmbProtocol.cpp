// Encoding, decoding and framing of the messages between SmbClient and qv-smb.
// Integers are little-endian; a string is its 4-byte length, then its bytes.
#include "platform/SmbProtocol.h"

#include "platform/MessageReader.h"
#include "platform/MessageWriter.h"
#include "platform/PipeFrame.h"

#include <cerrno>
#include <unistd.h>

namespace qv {
namespace {

constexpr std::uint8_t kFolderBit = 1;
constexpr std::uint8_t kLinkBit = 2;
constexpr std::uint8_t kSpecialBit = 4;

bool validKind(std::uint8_t kind)
{
    return kind >= static_cast<std::uint8_t>(SmbMessageKind::Hello)
        && kind <= static_cast<std::uint8_t>(SmbMessageKind::SetHostAddress);
}

} // namespace

std::string SmbProtocol::encode(const SmbRequest& request)
{
    MessageWriter w;
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
    MessageWriter w;
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
    MessageReader r(message);
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
    MessageReader r(message);
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

int SmbProtocol::readFrame(int fd, std::string& message) { return PipeFrame::read(fd, message, kMaxMessage); }

int SmbProtocol::writeAll(int fd, std::string_view bytes) { return PipeFrame::writeAll(fd, bytes); }

} // namespace qv
