// qvsearch as a user runs it: output, exit status, Ctrl-C.
#include "tests/support/Cp932Bytes.h"
#include "tests/support/DocumentFiles.h"
#include "tests/support/ProcessRun.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
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

TEST(QvSearchRun, Cp932NameIsFoundByItsWordsAndPrintedDecoded)
{
    TempTree tree({{cp932Bytes("見積書.txt"), "x"}, {"other.txt", ""}});
    const Result r = runQvSearch({"-n", "見積書", tree.root()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lineCount(r.out), 1);
    EXPECT_EQ(r.out.rfind("見積書.txt〔CP932〕\t" + tree.root() + "\t0 KB\t", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "1個見つかりました\n");
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
