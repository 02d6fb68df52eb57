// Serving the client's requests one after another.
#include "platform/qv-smb/SmbHelperServer.h"

#include "platform/qv-smb/SmbContext.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qv {
namespace {

constexpr std::uint32_t kDefaultChunk = 256u << 10;

} // namespace

SmbHelperServer::SmbHelperServer(SmbContext& context, int in, int out)
    : m_context(context), m_in(in), m_out(out)
{
}

int SmbHelperServer::run()
{
    std::string message;
    for (;;) {
        const int rc = SmbProtocol::readFrame(m_in, message);
        if (rc == EPIPE && message.empty())
            return 0; // the client closed the pipe: the normal way to end
        if (rc != 0) {
            std::fprintf(stderr, "qv-smb: reading a request: %s\n", std::strerror(rc));
            return 1;
        }
        SmbRequest request;
        if (!SmbProtocol::decode(message, request)) {
            std::fprintf(stderr, "qv-smb: a request of %zu bytes could not be decoded\n", message.size());
            return 1;
        }
        const SmbReply reply = serve(request);
        if (const int wrc = SmbProtocol::writeAll(m_out, SmbProtocol::encode(reply))) {
            // The client is gone; nobody is left to serve.
            return wrc == EPIPE ? 0 : 1;
        }
        if (request.kind == SmbMessageKind::Hello && reply.error != 0)
            return 1;
    }
}

SmbReply SmbHelperServer::serve(const SmbRequest& request)
{
    SmbReply reply;
    reply.kind = request.kind;
    if (request.kind == SmbMessageKind::Hello) {
        reply.version = SmbProtocol::kVersion;
        m_greeted = request.version == SmbProtocol::kVersion;
        reply.error = m_greeted ? 0 : EPROTONOSUPPORT;
        return reply;
    }
    if (!m_greeted) {
        reply.error = EPROTO;
        return reply;
    }
    switch (request.kind) {
    case SmbMessageKind::Hello:
        break;
    case SmbMessageKind::SetCredentials:
        m_context.setCredentials(request.server, request.credentials);
        break;
    case SmbMessageKind::SetTimeout:
        m_context.setTimeoutMs(static_cast<int>(std::min<std::uint32_t>(request.value, 3600u * 1000u)));
        break;
    case SmbMessageKind::ListNetwork:
        reply.error = m_context.listNetwork(request.url, static_cast<SmbNameHint>(request.value), reply.network);
        break;
    case SmbMessageKind::ListFolder:
        reply.error = m_context.listFolder(request.url, reply.folder);
        break;
    case SmbMessageKind::OpenFile:
        reply.error = m_context.openFile(request.url, reply.handle);
        break;
    case SmbMessageKind::ReadChunk: {
        const std::uint32_t want = request.value == 0 ? kDefaultChunk : std::min(request.value, SmbProtocol::kMaxChunk);
        reply.error = m_context.read(request.handle, reply.data, want);
        break;
    }
    case SmbMessageKind::CloseFile:
        reply.error = m_context.closeFile(request.handle);
        break;
    case SmbMessageKind::SetHostAddress:
        reply.error = m_context.setHostAddress(request.server, request.url);
        break;
    }
    return reply;
}

} // namespace qv
