// qvsearch --report: the report holds the rows the search printed, newest first.
#include "tests/support/Cp932Bytes.h"
#include "tests/support/ProcessRun.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace qv::test;

namespace {

ProcessResult runQvSearch(const std::vector<std::string>& args, int interruptAfter = 0)
{
    std::vector<std::string> argv{QVSEARCH_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, interruptAfter);
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string unescaped(std::string text)
{
    for (const auto& [reference, character] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
        for (std::size_t at; (at = text.find(reference)) != std::string::npos;)
            text.replace(at, std::string(reference).size(), character);
    }
    return text;
}

// The visible text of one cell's content.
std::string cellText(std::string content)
{
    if (content == "&nbsp")
        return {};
    if (content.rfind("<a href = \"", 0) == 0) {
        const std::size_t start = content.find("\">") + 2;
        return unescaped(content.substr(start, content.rfind("</a>") - start));
    }
    if (content.size() >= 2 && content.ends_with("\r\n"))
        content.resize(content.size() - 2);
    return unescaped(content);
}

// The data rows of a report as tab-separated lines, in the report's order.
std::vector<std::string> reportRows(const std::string& page)
{
    std::vector<std::string> rows;
    const std::string rowStart = "<tr>\r\n<td>\r\n";
    for (std::size_t at = page.find(rowStart); at != std::string::npos; at = page.find(rowStart, at + 1)) {
        const std::size_t end = page.find("</tr>\r\n", at);
        std::string line;
        std::size_t cell = page.find("<td>\r\n", at);
        for (int column = 0; column < 9 && cell < end; ++column) {
            const std::size_t contentStart = cell + 6;
            const std::size_t cellEnd = page.find("</td>\r\n", contentStart);
            if (column > 0)
                line += '\t';
            line += cellText(page.substr(contentStart, cellEnd - contentStart));
            cell = page.find("<td>\r\n", cellEnd);
        }
        rows.push_back(line);
    }
    return rows;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

} // namespace

TEST(QvSearchReport, ReportHoldsThePrintedRowsNewestFirst)
{
    TempTree tree({{"a & <b>.txt", "needle"}, {"sub/日本 語%#.txt", "a needle"}, {"sub/deeper/c.txt", "needle!"},
                   {"other.md", "needle"}});
    TempTree outside; // the report is not in the searched tree
    const std::string report = outside.path("report.htm");
    const ProcessResult r = runQvSearch({"-n", "*.txt", "-c", "needle", "--report", report, tree.root()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> printed = lines(r.out);
    ASSERT_EQ(printed.size(), 3u) << r.out;
    std::reverse(printed.begin(), printed.end());

    const std::string page = readAll(report);
    EXPECT_EQ(page.rfind("<html>\r\n", 0), 0u);
    EXPECT_EQ(reportRows(page), printed);
    EXPECT_NE(page.find("<p><b>Search  *.txt  from   " + tree.root() + "\r\n<P>\r\n has string:\r\nneedle \r\n"),
              std::string::npos)
        << page.substr(0, 800);
    EXPECT_NE(page.find("\r\n3  found\r\n"), std::string::npos);
    EXPECT_NE(page.find("<a href = \"file://" + tree.root() + "/a%20%26%20%3Cb%3E.txt\">a &amp; &lt;b&gt;.txt</a>"),
              std::string::npos);
}

TEST(QvSearchReport, Cp932NameShowsDecodedAndLinksToItsRealBytes)
{
    TempTree tree({{cp932Bytes("請求") + "/" + cp932Bytes("見積書.txt"), ""}});
    TempTree outside;
    const std::string report = outside.path("report.htm");
    const ProcessResult r = runQvSearch({"-n", "見積書", "--report", report, tree.root()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string page = readAll(report);
    EXPECT_NE(page.find("<a href = \"file://" + tree.root() + "/%90%BF%8B%81/%8C%A9%90%CF%8F%91.txt\">見積書.txt〔CP932〕</a>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<td>\r\n" + tree.root() + "/請求〔CP932〕</td>"), std::string::npos) << page;
}

TEST(QvSearchReport, StoppedSearchStillWritesItsReport)
{
    // A large sparse file keeps the content match busy long enough to be interrupted.
    TempTree tree({{"big.bin", ""}});
    const int fd = open(tree.path("big.bin").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 64LL << 30), 0);
    close(fd);
    TempTree outside;
    const ProcessResult r = runQvSearch({"-c", "needle", "--report", outside.path("r.htm"), tree.root()}, 300);
    EXPECT_EQ(r.status, 1);
    const std::string page = readAll(outside.path("r.htm"));
    EXPECT_NE(page.find("\r\n0  found\r\n"), std::string::npos);
    EXPECT_TRUE(page.ends_with("</html>\r\n"));
}

TEST(QvSearchReport, UnwritableReportPathExitsWithStatus3BeforeSearching)
{
    TempTree tree({{"a.txt", ""}, {"plain", "x"}});
    for (const std::string& report : {tree.path("missing/r.htm"), tree.path("plain/r.htm")}) {
        const ProcessResult r = runQvSearch({"--report", report, tree.root()});
        EXPECT_EQ(r.status, 3) << report;
        EXPECT_EQ(r.err.rfind("qvsearch: " + report + " contains an invalid path.\n", 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const ProcessResult noName = runQvSearch({"--report", "", tree.root()});
    EXPECT_EQ(noName.status, 2);
    EXPECT_EQ(noName.err, "qvsearch: --report needs a file name\n");
}

// Rows of place "/" had an empty Path cell, so the report gave their name no link.
TEST(QvSearchReport, RowsOfTheRootPlaceLinkToTheirFiles)
{
    TempTree outside;
    const std::string report = outside.path("report.htm");
    const ProcessResult r = runQvSearch({"-n", "tmp", "--no-subfolders", "--report", report, "/"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string page = readAll(report);
    EXPECT_NE(page.find("<a href = \"file:///tmp\">tmp</a>"), std::string::npos) << page;
    EXPECT_EQ(reportRows(page).at(0).rfind("tmp\t/\t", 0), 0u) << page;
}
