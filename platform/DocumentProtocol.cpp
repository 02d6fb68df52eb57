// Encoding and decoding of the messages between DocumentClient and qv-doc.
#include "platform/DocumentProtocol.h"

#include "platform/MessageReader.h"
#include "platform/MessageWriter.h"

namespace qv {
namespace {

bool validKind(std::uint8_t kind)
{
    return kind >= static_cast<std::uint8_t>(DocMessageKind::Hello)
        && kind <= static_cast<std::uint8_t>(DocMessageKind::NextText);
}

bool validVerdict(std::uint8_t verdict) { return verdict <= static_cast<std::uint8_t>(DocumentVerdict::Cancelled); }

} // namespace

std::string DocumentProtocol::encode(const DocRequest& request)
{
    MessageWriter w;
    w.u8(static_cast<std::uint8_t>(request.kind));
    switch (request.kind) {
    case DocMessageKind::Hello:
        w.u32(request.version);
        break;
    case DocMessageKind::Begin:
        w.u8(static_cast<std::uint8_t>(request.document));
        w.i64(static_cast<std::int64_t>(request.limits.fileBytes));
        w.i64(static_cast<std::int64_t>(request.limits.uncompressedBytes));
        w.u32(request.limits.zipEntries);
        w.u32(request.limits.xmlDepth);
        w.u32(request.limits.milliseconds);
        break;
    case DocMessageKind::Data:
        w.reserve(request.data.size() + 16);
        w.str(request.data);
        break;
    case DocMessageKind::End:
        w.u8(request.complete ? 1 : 0);
        break;
    case DocMessageKind::NextText:
        w.u32(request.most);
        break;
    }
    return w.finish();
}

std::string DocumentProtocol::encode(const DocReply& reply)
{
    MessageWriter w;
    w.u8(static_cast<std::uint8_t>(reply.kind));
    switch (reply.kind) {
    case DocMessageKind::Hello:
        w.u32(reply.version);
        break;
    case DocMessageKind::End:
        w.u8(static_cast<std::uint8_t>(reply.verdict));
        break;
    case DocMessageKind::NextText:
        w.reserve(reply.text.size() + 16);
        w.u8(static_cast<std::uint8_t>(reply.verdict));
        w.str(reply.text);
        break;
    default:
        break;
    }
    return w.finish();
}

bool DocumentProtocol::decode(std::string_view message, DocRequest& request)
{
    MessageReader r(message);
    const std::uint8_t kind = r.u8();
    if (!r.ok() || !validKind(kind))
        return false;
    request = DocRequest{};
    request.kind = static_cast<DocMessageKind>(kind);
    switch (request.kind) {
    case DocMessageKind::Hello:
        request.version = r.u32();
        break;
    case DocMessageKind::Begin: {
        const std::uint8_t document = r.u8();
        if (document > static_cast<std::uint8_t>(DocumentKind::Pdf))
            r.fail();
        request.document = static_cast<DocumentKind>(document);
        request.limits.fileBytes = static_cast<std::uint64_t>(r.i64());
        request.limits.uncompressedBytes = static_cast<std::uint64_t>(r.i64());
        request.limits.zipEntries = r.u32();
        request.limits.xmlDepth = r.u32();
        request.limits.milliseconds = r.u32();
        break;
    }
    case DocMessageKind::Data:
        request.data = r.str();
        if (request.data.size() > kMaxPiece)
            r.fail();
        break;
    case DocMessageKind::End: {
        const std::uint8_t complete = r.u8();
        if (complete > 1)
            r.fail();
        request.complete = complete == 1;
        break;
    }
    case DocMessageKind::NextText:
        request.most = r.u32();
        break;
    }
    return r.done();
}

bool DocumentProtocol::decode(std::string_view message, DocReply& reply)
{
    MessageReader r(message);
    const std::uint8_t kind = r.u8();
    if (!r.ok() || !validKind(kind) || kind == static_cast<std::uint8_t>(DocMessageKind::Begin)
        || kind == static_cast<std::uint8_t>(DocMessageKind::Data))
        return false;
    reply = DocReply{};
    reply.kind = static_cast<DocMessageKind>(kind);
    if (reply.kind == DocMessageKind::Hello) {
        reply.version = r.u32();
        return r.done();
    }
    const std::uint8_t verdict = r.u8();
    if (!validVerdict(verdict))
        r.fail();
    reply.verdict = static_cast<DocumentVerdict>(verdict);
    if (reply.kind == DocMessageKind::NextText) {
        reply.text = r.str();
        if (reply.text.size() > kMaxPiece)
            r.fail();
    }
    return r.done();
}

} // namespace qv
