// The request loop of the qv-smb helper: reads one request at a time from the
// client's pipe, has the context serve it, and writes the reply.
#pragma once

#include "platform/SmbProtocol.h"

namespace qv {

class SmbContext;

class SmbHelperServer final {
public:
    // in and out: the pipes from and to the client.
    SmbHelperServer(SmbContext& context, int in, int out);
    SmbHelperServer(const SmbHelperServer&) = delete;
    SmbHelperServer& operator=(const SmbHelperServer&) = delete;

    // Serves until the client closes its end: 0 then, 1 when a message could not be
    // read or the client speaks another protocol version.
    int run();

    // The reply to one request; a request before the hello is refused with EPROTO.
    SmbReply serve(const SmbRequest& request);

private:
    SmbContext& m_context;
    int m_in;
    int m_out;
    bool m_greeted = false;
};

} // namespace qv
