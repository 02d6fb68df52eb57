#include "tests/support/ProcessRun.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qv::test {
namespace {

std::string slurp(int fd)
{
    std::string text;
    std::array<char, 4096> buf;
    ssize_t n;
    while ((n = read(fd, buf.data(), buf.size())) > 0)
        text.append(buf.data(), static_cast<std::size_t>(n));
    close(fd);
    return text;
}

constexpr uid_t kNobody = 65534;

} // namespace

int ProcessResult::lines() const
{
    return static_cast<int>(std::count(out.begin(), out.end(), '\n'));
}

ProcessResult runProcess(const std::vector<std::string>& argv, int interruptAfterMs)
{
    RunOptions options;
    options.interruptAfterMs = interruptAfterMs;
    return runProcess(argv, options);
}

ProcessResult runProcess(const std::vector<std::string>& argv, const RunOptions& options)
{
    using Output = RunOptions::Output;
    ProcessResult r;
    int out[2], err[2];
    if (argv.empty() || pipe(out) != 0 || pipe(err) != 0)
        return r;
    if (options.output == Output::ReaderGone) {
        // Before the fork, so that no process ever holds the read end.
        close(out[0]);
        out[0] = -1;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        // The program leads a process group of its own, so that an interrupt
        // reaches it even behind a wrapper script.
        setpgid(0, 0);
        switch (options.output) {
        case Output::Pipe: dup2(out[1], 1); break;
        case Output::Full: {
            const int full = open("/dev/full", O_WRONLY);
            dup2(full, 1);
            close(full);
            break;
        }
        case Output::Closed: close(1); break;
        case Output::ReaderGone: dup2(out[1], 1); break;
        }
        dup2(err[1], 2);
        if (out[0] >= 0)
            close(out[0]);
        close(out[1]);
        close(err[0]);
        close(err[1]);
        signal(SIGPIPE, options.ignoreSigpipe ? SIG_IGN : SIG_DFL);
        for (const std::string& assignment : options.environment)
            putenv(const_cast<char*>(assignment.c_str()));
        if (options.asNobody && getuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(126);
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0)
            _exit(126);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    std::thread interrupter;
    const int interruptAfter = options.interruptAfterMs;
    if (interruptAfter > 0)
        interrupter = std::thread([pid, interruptAfter] {
            std::this_thread::sleep_for(std::chrono::milliseconds(interruptAfter));
            kill(-pid, SIGINT);
        });
    std::thread errReader([&] { r.err = slurp(err[0]); });
    if (out[0] >= 0)
        r.out = slurp(out[0]);
    errReader.join();
    int status = 0;
    waitpid(pid, &status, 0);
    if (interrupter.joinable())
        interrupter.join();
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

} // namespace qv::test
