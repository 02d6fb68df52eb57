#include "platform/HelperStdio.h"

#include <fcntl.h>
#include <unistd.h>

namespace qv {

bool HelperStdio::takeProtocolPipes(int& in, int& out)
{
    in = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    out = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (in < 0 || out < 0)
        return false;
    dup2(STDERR_FILENO, STDOUT_FILENO);
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        close(devNull);
    }
    return true;
}

void HelperStdio::silence()
{
    const int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (sink >= 0) {
        dup2(sink, STDOUT_FILENO);
        dup2(sink, STDERR_FILENO);
        close(sink);
    }
}

} // namespace qv
