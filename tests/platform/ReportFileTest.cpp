// The report file: replaced only by a whole report, messages that name the file.
#include "platform/ReportFile.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `body` in a child process whose files may not grow beyond `limit` bytes, and
// returns what it wrote to its pipe. The limit makes writes fail as a full disk would,
// also for root, without touching the machine's disks.
std::string inChildWithFileSizeLimit(rlim_t limit, const std::function<std::string()>& body)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "(no pipe)";
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead of killing us
        const rlimit small{limit, limit};
        setrlimit(RLIMIT_FSIZE, &small);
        const std::string out = body();
        (void)!::write(fds[1], out.data(), out.size());
        _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return out;
}

} // namespace

TEST(ReportFile, ReplacesTheTargetOnlyOnCommit)
{
    TempTree tree({{"r.htm", "earlier report"}});
    const std::string target = tree.path("r.htm");
    {
        ReportFile file(target);
        ASSERT_TRUE(file.open()) << file.errorMessage();
        ASSERT_TRUE(file.write("<html>\r\n"));
        EXPECT_EQ(readAll(target), "earlier report"); // not yet
        ASSERT_TRUE(file.commit()) << file.errorMessage();
    }
    EXPECT_EQ(readAll(target), "<html>\r\n");
    {
        ReportFile abandoned(target); // a report that never finished
        ASSERT_TRUE(abandoned.open());
        ASSERT_TRUE(abandoned.write("half a rep"));
    }
    EXPECT_EQ(readAll(target), "<html>\r\n");
    EXPECT_EQ(namesIn(tree.root()), std::vector<std::string>{"r.htm"}); // no temporary file left
}

TEST(ReportFile, PathsThatNameNoWritableFileAreInvalid)
{
    TempTree tree({{"plain.txt", "x"}, {"folder/", ""}});
    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {tree.path("missing/r.htm"), "No such file or directory"},
        {tree.path("plain.txt/r.htm"), "Not a directory"},
        {tree.path("folder"), "Is a directory"},
    };
    for (const Case& c : cases) {
        ReportFile file(c.path);
        EXPECT_FALSE(file.open()) << c.path;
        EXPECT_EQ(file.errorMessage(), c.path + " contains an invalid path.\n" + c.reason);
        EXPECT_FALSE(file.write("x"));
        EXPECT_FALSE(file.commit());
    }
    ReportFile unnamed("");
    EXPECT_FALSE(unnamed.open());
    EXPECT_EQ(unnamed.errorMessage().rfind(" contains an invalid path.\n", 0), 0u) << unnamed.errorMessage();
    EXPECT_EQ(namesIn(tree.root()), (std::vector<std::string>{"folder", "plain.txt"}));
}

TEST(ReportFile, FailedWriteKeepsTheEarlierReportByteForByte)
{
    TempTree tree({{"r.htm", "earlier report\r\n"}});
    const std::string target = tree.path("r.htm");
    const std::string message = inChildWithFileSizeLimit(100000, [&] {
        ReportFile file(target);
        if (!file.open())
            return "open failed: " + file.errorMessage();
        const std::string chunk(64 * 1024, 'x');
        for (int i = 0; i < 4; ++i) {
            if (!file.write(chunk))
                return file.errorMessage();
        }
        return file.commit() ? std::string("committed") : file.errorMessage();
    });
    EXPECT_EQ(message, "An unexpected error occurred while accessing " + target + ".\nFile too large");
    EXPECT_EQ(readAll(target), "earlier report\r\n");
    EXPECT_EQ(namesIn(tree.root()), std::vector<std::string>{"r.htm"});
}

TEST(ReportFile, PipeIsWrittenInPlace)
{
    TempTree tree;
    const std::string fifo = tree.path("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readAll(fifo); });
    ReportFile file(fifo);
    const bool written = file.open() && file.write("<html>\r\n") && file.commit();
    if (!written) // let the reader go
        std::ofstream(fifo).put('!');
    reader.join();
    EXPECT_TRUE(written) << file.errorMessage();
    EXPECT_EQ(received, "<html>\r\n");
    struct stat info {};
    ASSERT_EQ(stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST(ReportFile, ErrorNumbersChooseTheFileErrorText)
{
    const std::pair<int, const char*> cases[] = {
        {EACCES, "Access to /r.htm was denied."},       {EPERM, "Access to /r.htm was denied."},
        {EROFS, "Access to /r.htm was denied."},        {ENOSPC, "Disk full while accessing /r.htm."},
        {EDQUOT, "Disk full while accessing /r.htm."},  {ETXTBSY, "A sharing violation occurred while accessing /r.htm."},
        {EBUSY, "A sharing violation occurred while accessing /r.htm."},
        {ENAMETOOLONG, "/r.htm contains an invalid path."},
        {EIO, "An unexpected error occurred while accessing /r.htm."},
    };
    for (const auto& [error, text] : cases)
        EXPECT_EQ(ReportFile::messageFor(error, "/r.htm"), std::string(text) + "\n" + std::strerror(error)) << error;
}
