// qvsearch as a user runs it: output, exit status, Ctrl-C.
#include "results/JsonLinesExport.h"
#include "tests/support/Cp932Bytes.h"
#include "tests/support/DocumentFiles.h"
#include "tests/support/ProcessRun.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv::test;

namespace {

using Result = ProcessResult;

// Runs qvsearch; interruptAfter > 0 sends SIGINT after that many milliseconds.
Result runQvSearch(const std::vector<std::string>& args, int interruptAfter = 0)
{
    std::vector<std::string> argv{QVSEARCH_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, interruptAfter);
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

TEST(QvSearchRun, Cp932NameIsFoundByItsWordsAndPrintedAsItsBytes)
{
    TempTree tree({{cp932Bytes("見積書.txt"), "x"}, {"other.txt", ""}});
    const std::string bytes = cp932Bytes("見積書.txt");
    const Result r = runQvSearch({"-n", "見積書", tree.root()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lineCount(r.out), 1);
    EXPECT_EQ(r.out.rfind(bytes + "\t" + tree.root() + "\t0 KB\t", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "1個見つかりました\n");

    const Result paths = runQvSearch({"-0", "-n", "見積書", tree.root()});
    EXPECT_EQ(paths.out, tree.path(bytes) + std::string(1, '\0'));

    // JSON Lines: the decoded text to read, the bytes to open the file by.
    const Result json = runQvSearch({"--format=jsonl", "-n", "見積書", tree.root()});
    EXPECT_EQ(json.out.rfind("{\"name\":\"見積書.txt〔CP932〕\",\"path\":\"" + tree.root() + "\"", 0), 0u) << json.out;
    EXPECT_NE(json.out.find(",\"name_bytes\":\"" + qv::JsonLinesExport::base64(bytes) + "\"}\n"), std::string::npos)
        << json.out;
    EXPECT_EQ(json.out.find("path_bytes"), std::string::npos) << json.out;
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
    // A value holding a line end is quoted in the message, which stays one line.
    for (const auto& args : std::vector<std::vector<std::string>>{{"--bogus"}, {"-t", "7", "/tmp"}, {"--min-kb", "x", "/tmp"},
                                                                 {"--format", "a\nb"}, {"--no", "/tmp"}, {"-t"}}) {
        const Result r = runQvSearch(args);
        EXPECT_EQ(r.status, 2) << args.front();
        EXPECT_EQ(lineCount(r.err), 1) << r.err;
        EXPECT_EQ(r.err.back(), '\n') << r.err;
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

namespace {

Result runQvSearch(const std::vector<std::string>& args, RunOptions options)
{
    std::vector<std::string> argv{QVSEARCH_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, options);
}

RunOptions withOutput(RunOptions::Output output, bool ignoreSigpipe = false)
{
    RunOptions options;
    options.output = output;
    options.ignoreSigpipe = ignoreSigpipe;
    return options;
}

bool startsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// The cells of a TSV line.
std::vector<std::string> cellsOf(const std::string& line)
{
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        cells.push_back(line.substr(start, tab - start));
    cells.push_back(line.substr(start, line.find('\n', start) - start));
    return cells;
}

} // namespace

// Rows written to a full disk or a closed standard output were lost while the run
// said "N個見つかりました" and exited 0.
TEST(QvSearchRun, RowsThatCannotBeWrittenEndTheRunWithStatus5)
{
    TempTree tree({{"a.txt", "x"}, {"b.txt", "y"}});
    for (const auto output : {RunOptions::Output::Full, RunOptions::Output::Closed}) {
        const Result r = runQvSearch({tree.root()}, withOutput(output));
        EXPECT_EQ(r.status, 5) << r.err;
        EXPECT_EQ(lineCount(r.err), 1) << r.err;
        EXPECT_TRUE(startsWith(r.err, "qvsearch: cannot write the rows to standard output: ")) << r.err;
        EXPECT_EQ(r.err.find("個見つかりました"), std::string::npos) << r.err;
    }
    const Result help = runQvSearch({"--help"}, withOutput(RunOptions::Output::Full));
    EXPECT_EQ(help.status, 5);
    EXPECT_TRUE(startsWith(help.err, "qvsearch: cannot write the help to standard output: ")) << help.err;
    // Nothing to write is no write error.
    const Result none = runQvSearch({"-n", "nothing-fits", tree.root()}, withOutput(RunOptions::Output::Full));
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.err, "0個見つかりました\n");
}

TEST(QvSearchRun, ReaderThatClosedThePipeEndsTheRunQuietly)
{
    TempTree tree({{"a.txt", "x"}});
    const Result killed = runQvSearch({tree.root()}, withOutput(RunOptions::Output::ReaderGone));
    EXPECT_EQ(killed.status, 128 + SIGPIPE);
    EXPECT_EQ(killed.err, "");
    // With SIGPIPE ignored the write fails with EPIPE: a stop, without a word.
    const Result stopped = runQvSearch({tree.root()}, withOutput(RunOptions::Output::ReaderGone, true));
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(stopped.err, "");
}

// A folder that does not exist, or a file given as the place, was searched as an
// empty folder: "0個見つかりました", status 0.
TEST(QvSearchRun, PlaceThatCannotBeSearchedSaysWhyWithStatus4)
{
    TempTree tree({{"a.txt", "x"}});
    const std::pair<std::string, std::string> cases[] = {
        {tree.path("missing"), "no such folder"},
        {tree.path("a.txt"), "not a folder"},
    };
    for (const auto& [place, why] : cases) {
        const Result r = runQvSearch({place});
        EXPECT_EQ(r.status, 4) << place;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "qvsearch: cannot search " + place + ": " + why + "\n");
    }
}

TEST(QvSearchRun, MissingSmbHelperIsAnInstallationFaultNamingItsPath)
{
    RunOptions options;
    options.environment = {"QV_SMB_HELPER=/nonexistent/libexec/qv-smb"};
    for (const std::string place : {"\\\\QVNOHOST\\share", "\\\\QVNOHOST", "QVNOGROUP"}) {
        const Result r = runQvSearch({place}, options);
        EXPECT_EQ(r.status, 4) << place;
        EXPECT_EQ(lineCount(r.err), 1) << r.err;
        EXPECT_TRUE(startsWith(r.err, "qvsearch: cannot search " + place + ": ")) << r.err;
        EXPECT_NE(r.err.find("/nonexistent/libexec/qv-smb"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("installation"), std::string::npos) << r.err;
    }
}

// Folders that could not be read inside the walk gave no sign at all.
TEST(QvSearchRun, FoldersThatCannotBeReadInsideTheWalkAreCountedAtTheEnd)
{
    TempTree tree({{"open/a.txt", "x"}, {"locked/b.txt", "y"}, {"sub/locked/c.txt", "z"}});
    ASSERT_EQ(chmod(tree.root().c_str(), 0755), 0);
    ASSERT_EQ(chmod(tree.path("locked").c_str(), 0), 0);
    ASSERT_EQ(chmod(tree.path("sub/locked").c_str(), 0), 0);
    RunOptions options;
    options.asNobody = true; // root reads every folder
    const Result r = runQvSearch({"-n", "*.txt", tree.root()}, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.lines(), 1) << r.out;
    EXPECT_EQ(r.err, "2 folders could not be read\n1個見つかりました\n");

    const Result verbose = runQvSearch({"--verbose", "-n", "*.txt", tree.root()}, options);
    EXPECT_EQ(verbose.status, 0);
    EXPECT_NE(verbose.err.find("qvsearch: could not read " + tree.path("locked") + ": access denied\n"),
              std::string::npos)
        << verbose.err;
    EXPECT_NE(verbose.err.find("qvsearch: could not read " + tree.path("sub/locked") + ": access denied\n"),
              std::string::npos)
        << verbose.err;
    EXPECT_NE(verbose.err.find("\n2 folders could not be read\n1個見つかりました\n"), std::string::npos)
        << verbose.err;
}

// The content match read the file before its times were taken, so the Access time
// cell showed the search's own read (relatime moves an access time older than a day).
TEST(QvSearchRun, AccessTimeIsTheFilesOwnNotTheContentMatchsRead)
{
    constexpr std::int64_t kMay2001 = 989000000; // 2001-05-04 18:13 UTC
    TempTree tree({{"old.txt", "the needle", kMay2001}});
    for (int run = 0; run < 2; ++run) {
        const Result r = runQvSearch({"-c", "needle", tree.root()});
        ASSERT_EQ(r.lines(), 1) << r.out;
        const std::vector<std::string> cells = cellsOf(r.out);
        ASSERT_EQ(cells.size(), 9u);
        EXPECT_TRUE(startsWith(cells[4], "2001/05/0")) << "updated " << cells[4];
        EXPECT_TRUE(startsWith(cells[6], "2001/05/0")) << "accessed " << cells[6] << " on run " << run;
    }
}

// The entries of place "/" had an empty Path cell: the folder that holds tmp is "/".
TEST(QvSearchRun, RootPlaceGivesRootAsPath)
{
    const Result r = runQvSearch({"-n", "tmp", "--no-subfolders", "/"});
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.lines(), 1) << r.out;
    EXPECT_TRUE(startsWith(r.out, "tmp\t/\t")) << r.out;
}

// Folders below the depth at which the full path passed 4,096 bytes were dropped:
// 32 of 40 files of 40 nested folders with 202-byte names were found.
TEST(QvSearchRun, DeepTreeLosesNoRows)
{
    TempTree tree;
    const std::string name(202, 'd');
    constexpr int kDepth = 40;
    const std::string deepest = tree.addNestedFolders(name, kDepth, "f.txt");
    ASSERT_GT(deepest.size(), 8000u);
    const Result r = runQvSearch({"-n", "f.txt", tree.root()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.lines(), kDepth);
    EXPECT_EQ(r.err, std::to_string(kDepth) + "個見つかりました\n");
    // Rows carry the full path, the deepest one too.
    EXPECT_NE(r.out.find("f.txt\t" + deepest + "\t"), std::string::npos);
}

TEST(QvSearchRun, DocumentsAreSearchedByTextAndThoseGivenUpAreCounted)
{
    TempTree tree({{"minutes.docx", wordDocument({"社内会議 議事録"})},
                   {"contract.pdf", japanesePdf({{"契約書 議事録"}})},
                   {"locked.pdf", encryptedPdf()},
                   {"broken.docx", openXmlPackage({{"word/document.xml", kWordMain, "<d>unclosed"}})},
                   {"notes.txt", "議事録\n"}});
    const Result r = runQvSearch({"-c", "議事録", tree.root()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lineCount(r.out), 3) << r.out;
    EXPECT_NE(r.out.find("minutes.docx\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("contract.pdf\t"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "3個見つかりました\n"
                     "qvsearch: 2 documents not searched: 0 over a limit, 1 encrypted, 1 damaged\n");

    const Result off = runQvSearch({"--no-documents", "-c", "議事録", tree.root()});
    EXPECT_EQ(off.status, 0);
    EXPECT_EQ(off.out.rfind("notes.txt\t", 0), 0u) << off.out;
    EXPECT_EQ(off.err, "1個見つかりました\n");
}

TEST(QvSearchRun, NullSeparatedFullPathsForXargs)
{
    TempTree tree({{"a b.txt", ""}, {"sub/line\nend.txt", ""}, {"other.c", ""}});
    const Result r = runQvSearch({"-0n.txt", tree.root() + "/"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> paths;
    for (std::size_t start = 0, end; (end = r.out.find('\0', start)) != std::string::npos; start = end + 1)
        paths.push_back(r.out.substr(start, end - start));
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{tree.path("a b.txt"), tree.path("sub/line\nend.txt")})) << r.out;
    EXPECT_EQ(r.out.back(), '\0');
    EXPECT_EQ(r.err, "2個見つかりました\n");

    const Result both = runQvSearch({"-0", "--format", "jsonl", tree.root()});
    EXPECT_EQ(both.status, 2);
    EXPECT_EQ(lineCount(both.err), 1) << both.err;
}

TEST(QvSearchRun, BareNameThatIsALocalPathIsSearchedHere)
{
    TempTree tree({{"t3/notes.txt", "todo: more"}, {"t3/done.txt", "nothing"}});
    RunOptions here;
    here.workingDirectory = tree.root();
    here.environment = {"QV_DISCOVERY=0"};
    const Result local = runProcess({QVSEARCH_PATH, "-c", "todo", "t3"}, here);
    EXPECT_EQ(local.status, 0) << local.err;
    EXPECT_EQ(local.out.rfind("notes.txt\tt3\t", 0), 0u) << local.out;
    EXPECT_EQ(lineCount(local.out), 1) << local.out;

    // A file given as the place is the local "no folder", not an empty workgroup.
    const Result file = runProcess({QVSEARCH_PATH, "-c", "todo", "t3/notes.txt"}, here);
    EXPECT_EQ(file.status, 4) << file.err;
}

TEST(QvSearchRun, HelpSaysHowPlacesAndPlainWordsAreTaken)
{
    const Result r = runQvSearch({"--he"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("a bare name that is\n  no path here a workgroup"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("matches as *word*"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("case does not count"), std::string::npos) << r.out;
}

TEST(QvSearchRun, StatusLineOnATerminalFitsItsWidth)
{
    const std::string longName(70, 'd');
    TempTree tree({{longName + "/" + longName + "/日本語のフォルダ名/a.txt", ""}});
    int terminal = -1;
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 30;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Only standard error on the terminal, as in "qvsearch ... > rows.tsv".
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execl(QVSEARCH_PATH, QVSEARCH_PATH, tree.root().c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string shown;
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, static_cast<std::size_t>(n));
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;

    // Each "\r" starts the status line afresh: what follows it up to the next one must
    // fit in 29 columns, a Japanese character taking two.
    int statusLines = 0;
    std::size_t start = 0;
    while (start < shown.size()) {
        std::size_t end = shown.find('\r', start);
        std::string line = shown.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? shown.size() : end + 1;
        if (const std::size_t clear = line.find("\x1b[K"); clear != std::string::npos)
            line.erase(clear);
        if (line.empty() || line == "\n" || line.find("個見つかりました") != std::string::npos)
            continue;
        ++statusLines;
        for (std::size_t dots; (dots = line.find("…")) != std::string::npos;)
            line.replace(dots, 3, "."); // the ellipsis takes one column
        int columns = 0;
        for (unsigned char c : line)
            columns += c < 0x80 ? 1 : c >= 0xe0 ? 2 : 0; // a lead byte of 3 bytes; continuation bytes 0
        EXPECT_LE(columns, 29) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    }
    EXPECT_GT(statusLines, 0) << shown;
    EXPECT_NE(shown.find("4個見つかりました"), std::string::npos) << shown; // three folders and the file
}
