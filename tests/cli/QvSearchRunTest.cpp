// qvsearch as a user runs it: output, exit status, Ctrl-C.
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace qv::test;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

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

// Runs qvsearch; interruptAfter > 0 sends SIGINT after that many milliseconds.
Result runQvSearch(const std::vector<std::string>& args, int interruptAfter = 0)
{
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        std::vector<char*> argv{const_cast<char*>(QVSEARCH_PATH)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(QVSEARCH_PATH, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    std::thread interrupter;
    if (interruptAfter > 0)
        interrupter = std::thread([pid, interruptAfter] {
            std::this_thread::sleep_for(std::chrono::milliseconds(interruptAfter));
            kill(pid, SIGINT);
        });
    Result r;
    std::thread errReader([&] { r.err = slurp(err[0]); });
    r.out = slurp(out[0]);
    errReader.join();
    int status = 0;
    waitpid(pid, &status, 0);
    if (interrupter.joinable())
        interrupter.join();
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

int lineCount(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST(QvSearchRun, PrintsRowsAndTheCount)
{
    TempTree tree({{"Report.txt", "hello"}, {"sub/annual report.md", "x"}, {"other.c", ""}});
    const Result r = runQvSearch({"-n", "report", tree.root() + "/"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lineCount(r.out), 2);
    EXPECT_NE(r.out.find("Report.txt\t" + tree.root() + "\t0 KB\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tREPORT\t\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "2個見つかりました\n");
}

TEST(QvSearchRun, JsonLinesAndContainingString)
{
    TempTree tree({{"a.txt", "the NEEDLE"}, {"b.txt", "hay"}});
    const Result r = runQvSearch({"--format", "jsonl", "-c", "needle", tree.root()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lineCount(r.out), 1);
    EXPECT_EQ(r.out.rfind("{\"name\":\"a.txt\",\"path\":\"" + tree.root() + "\"", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\"match_string\":\"needle\"}"), std::string::npos) << r.out;
}

TEST(QvSearchRun, TypeThatWalksNoFoldersFindsNothing)
{
    TempTree tree({{"a.txt", ""}});
    const Result r = runQvSearch({"-t", "3", tree.root()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "0個見つかりました\n");
}

TEST(QvSearchRun, BadUsageExitsWithStatus2AndOneLine)
{
    for (const auto& args : std::vector<std::vector<std::string>>{{"--bogus"}, {"-t", "7", "/tmp"}, {"--min-kb", "x", "/tmp"}}) {
        const Result r = runQvSearch(args);
        EXPECT_EQ(r.status, 2) << args.front();
        EXPECT_EQ(lineCount(r.err), 1) << r.err;
        EXPECT_EQ(r.err.rfind("qvsearch: ", 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(QvSearchRun, HelpExitsWithStatus0)
{
    const Result r = runQvSearch({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: qvsearch"), std::string::npos);
}

TEST(QvSearchRun, CtrlCStopsTheSearchWithStatus1)
{
    // A large sparse file keeps the content match busy long enough to be interrupted.
    TempTree tree({{"big.bin", ""}});
    const int fd = open(tree.path("big.bin").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 64LL << 30), 0);
    close(fd);
    const auto start = std::chrono::steady_clock::now();
    const Result r = runQvSearch({"-c", "needle", tree.root()}, 300);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "0個見つかりました\n");
    EXPECT_LT(elapsed, std::chrono::seconds(20));
}
