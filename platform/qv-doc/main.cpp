// qv-doc: the helper process that reads office documents and PDFs for the content
// match. It reads requests on stdin and answers on stdout until stdin closes. A
// hostile file can make it fail or hang, never the search: the client kills it when
// it takes too long, and a helper that dies costs only the file in hand.
//
// Environment: QV_DOC_DEBUG=1 lets the libraries' complaints through to stderr.
#include "platform/HelperStdio.h"
#include "platform/qv-doc/DocumentServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The address space the helper may use: far above what a document needs (the parsers
// are capped on their own), far below what would hurt the machine.
constexpr rlim_t kAddressSpace = rlim_t(1) << 30;

void setLimit(int resource, rlim_t value)
{
    const struct rlimit limit{value, value};
    setrlimit(resource, &limit);
}

} // namespace

int main()
{
    std::signal(SIGPIPE, SIG_IGN);
    // Dies with the program that started it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    setLimit(RLIMIT_CORE, 0);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // The sanitizers reserve terabytes of shadow memory; without them, a file that
    // makes a library allocate without end fails here instead of swapping the machine.
    setLimit(RLIMIT_AS, kAddressSpace);
#endif

    int in = -1;
    int out = -1;
    if (!qv::HelperStdio::takeProtocolPipes(in, out)) {
        std::perror("qv-doc: dup");
        return 1;
    }
    if (!std::getenv("QV_DOC_DEBUG"))
        qv::HelperStdio::silence();
    qv::DocumentServer server(in, out);
    return server.run();
}
