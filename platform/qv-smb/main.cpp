// qv-smb: the helper process that makes every libsmbclient call for one SmbClient.
// It reads requests on stdin and answers on stdout until stdin closes.
//
// Environment: QV_SMB_DEBUG=N writes libsmbclient's debug output of level N to stderr.
#include "platform/qv-smb/SmbContext.h"
#include "platform/qv-smb/SmbHelperServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

int main()
{
    // A client that goes away must end the helper through a failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);

    // The protocol moves to descriptors of its own; stdout then points at stderr and
    // stdin at /dev/null, so that nothing a library prints can corrupt a reply.
    const int in = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    const int out = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (in < 0 || out < 0) {
        std::perror("qv-smb: dup");
        return 1;
    }
    dup2(STDERR_FILENO, STDOUT_FILENO);
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        close(devNull);
    }

    const char* debug = std::getenv("QV_SMB_DEBUG");
    qv::SmbContext context(debug ? std::atoi(debug) : 0);
    if (!context.ok())
        std::perror("qv-smb: libsmbclient context");
    qv::SmbHelperServer server(context, in, out);
    return server.run();
}
