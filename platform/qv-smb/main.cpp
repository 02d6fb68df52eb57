// qv-smb: the helper process that makes every libsmbclient call for one SmbClient.
// It reads requests on stdin and answers on stdout until stdin closes.
//
// Environment: QV_SMB_DEBUG=N writes libsmbclient's debug output of level N (and the
// helper's own complaints) to stderr; without it the helper prints nothing.
#include "platform/HelperStdio.h"
#include "platform/qv-smb/SmbContext.h"
#include "platform/qv-smb/SmbHelperServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// libsmbclient keeps process-wide state (talloc stack frames, loadparm) that freeing the
// context does not release; it is the library's, not a leak of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libtalloc.so\nleak:libsmbclient.so\nleak:libsmbconf.so\nleak:libsamba-util.so\n";
}
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

#if defined(__SANITIZE_THREAD__)
// libtdb (libsmbclient's caches) has a signal handler that does not keep errno; a
// report from ThreadSanitizer (which halts the helper under halt_on_error) would cost
// the request it came in, for a fault that is not ours.
extern "C" const char* __tsan_default_suppressions() { return "signal:libtdb.so\n"; }
#endif

int main()
{
    // A client that goes away must end the helper through a failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);

    // The protocol moves to descriptors of its own; stdout then points at stderr and
    // stdin at /dev/null, so that nothing a library prints can corrupt a reply.
    int in = -1;
    int out = -1;
    if (!qv::HelperStdio::takeProtocolPipes(in, out)) {
        std::perror("qv-smb: dup");
        return 1;
    }

    // The library prints some errors even at debug level 0 ("Could not determine
    // network interfaces..."); they would land in the middle of the program's own
    // output, so the helper is silent unless asked for its debug output.
    const char* debug = std::getenv("QV_SMB_DEBUG");
    if (!debug)
        qv::HelperStdio::silence();
    qv::SmbContext context(debug ? std::atoi(debug) : 0);
    if (!context.ok())
        std::perror("qv-smb: libsmbclient context");
    qv::SmbHelperServer server(context, in, out);
    return server.run();
}
