#include "platform/HelperProcess.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace qv {
namespace {

// A descriptor at 3 or above, close-on-exec, so that the spawn's dup2 onto 0 and 1
// never overwrites another pipe end.
int aboveStdio(int fd)
{
    if (fd > 2)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    return moved;
}

bool isExecutable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

} // namespace

int HelperProcess::spawn(const std::string& path, Pipes& pipes)
{
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0)
        return errno;
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        const int e = errno;
        close(toChild[0]);
        close(toChild[1]);
        return e;
    }
    for (int* fd : {&toChild[0], &toChild[1], &fromChild[0], &fromChild[1]})
        *fd = aboveStdio(*fd);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Whatever else the program has open without close-on-exec stays out of the helper.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group keeps a terminal's Ctrl-C away from the helper: the
    // program decides what a stop does to it. A clean signal mask and default
    // dispositions, whatever the spawning thread had (qvsearch blocks SIGINT).
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(toChild[0]);
    close(fromChild[1]);
    if (rc != 0) {
        close(toChild[1]);
        close(fromChild[0]);
        return rc;
    }
    pipes.toHelper = toChild[1];
    pipes.fromHelper = fromChild[0];
    pipes.pid = pid;
    return 0;
}

std::string HelperProcess::find(const char* environmentVariable, std::string_view name)
{
    if (const char* env = std::getenv(environmentVariable); env && *env)
        return env;
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return std::string(name);
    const std::string path(exe, static_cast<std::size_t>(n));
    const std::string dir = path.substr(0, path.rfind('/') + 1);
    for (const char* relative : {"", "../platform/", "../../platform/", "../libexec/quendle/"}) {
        const std::string candidate = dir + relative + std::string(name);
        if (isExecutable(candidate))
            return candidate;
    }
    return dir + std::string(name);
}

int HelperProcess::withoutSigpipe(const std::function<int()>& write)
{
    sigset_t pipeOnly;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &old);
    const int rc = write();
    if (rc == EPIPE && !wasPending) {
        // The signal this write raised is pending on this thread; take it back before
        // the old mask could let it through.
        const struct timespec zero {};
        while (sigtimedwait(&pipeOnly, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return rc;
}

} // namespace qv
