#include "tests/support/ProcessRun.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
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

} // namespace

int ProcessResult::lines() const
{
    return static_cast<int>(std::count(out.begin(), out.end(), '\n'));
}

ProcessResult runProcess(const std::vector<std::string>& argv, int interruptAfterMs)
{
    ProcessResult r;
    int out[2], err[2];
    if (argv.empty() || pipe(out) != 0 || pipe(err) != 0)
        return r;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        // The program leads a process group of its own, so that an interrupt
        // reaches it even behind a wrapper script.
        setpgid(0, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
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
    if (interruptAfterMs > 0)
        interrupter = std::thread([pid, interruptAfterMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(interruptAfterMs));
            kill(-pid, SIGINT);
        });
    std::thread errReader([&] { r.err = slurp(err[0]); });
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
