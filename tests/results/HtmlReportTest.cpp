// The HTML report, byte for byte: head, criteria paragraph, table, links and escaping.
#include "platform/ReportOutput.h"
#include "results/HtmlReport.h"
#include "results/ResultRowList.h"
#include "search/SearchCriteria.h"

#include "tests/support/TimeZone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

using namespace qv;
using qv::test::TimeZone;

namespace {

// Keeps every byte; refuses writes once `acceptedWrites` calls have been taken.
struct MemoryOutput final : ReportOutput {
    std::string bytes;
    int writes = 0;
    std::size_t largestWrite = 0;
    int acceptedWrites = -1; // -1: all

    bool write(std::string_view chunk) override
    {
        if (acceptedWrites >= 0 && writes >= acceptedWrites)
            return false;
        ++writes;
        largestWrite = std::max(largestWrite, chunk.size());
        bytes += chunk;
        return true;
    }
};

std::string report(const SearchCriteria& criteria, std::int64_t found, const ResultRowList& rows)
{
    MemoryOutput out;
    EXPECT_TRUE(HtmlReport::write(criteria, found, rows, out));
    return out.bytes;
}

// Between the header row and the end of the table.
std::string tableBody(const std::string& page)
{
    const std::string head = "<td ><b>MATCH</b></td>\r\n</tr>\r\n";
    const std::size_t start = page.find(head);
    const std::size_t end = page.find("</table>\r\n");
    if (start == std::string::npos || end == std::string::npos)
        return "(no table)";
    return page.substr(start + head.size(), end - start - head.size());
}

// The bold criteria paragraph, from "<p><b>" up to the rule before the table.
std::string criteriaParagraph(const std::string& page)
{
    const std::size_t start = page.find("<p><b>");
    const std::size_t end = page.find("<hr>\r\n<table");
    if (start == std::string::npos || end == std::string::npos)
        return "(no criteria)";
    return page.substr(start, end - start);
}

std::string cell(const std::string& content) { return "<td>\r\n" + content + "</td>\r\n"; }
std::string textCell(const std::string& text) { return cell(text + "\r\n"); }
std::string blankCell() { return cell("&nbsp"); }
std::string linkCell(const std::string& url, const std::string& text)
{
    return cell("<a href = \"" + url + "\">" + text + "</a>");
}

ResultRow row(std::initializer_list<std::string> cells)
{
    ResultRow r;
    std::copy(cells.begin(), cells.end(), r.cells.begin());
    return r;
}

} // namespace

TEST(HtmlReport, EmptyListWithDefaultCriteriaIsTheWholePage)
{
    const std::string expected =
        "<html>\r\n"
        "<head>\r\n"
        "<title>Trawlex Search Result\n</title>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\r\n"
        "</head>\r\n"
        "<body topmargin=0 leftmargin=0 rightmargin=0 bottommargin=0 bgcolor=\"#CEFFEF\">\r\n"
        "<center><H1>Search result list for \r\n"
        "Quendle\r\n"
        "</h1></center>\r\n"
        "<hr>\r\n"
        "<p><b>Search    from   ネットワーク全体\r\n"
        "<P>\r\n"
        "0  found\r\n"
        "</b></p><b><p>Resource type: 全部  </b></p><hr>\r\n"
        "<table border=\"1\" width=\"100%\">\r\n"
        "<tr>\r\n"
        "<td ><b>NAME</b></td>\r\n"
        "<td ><b>PATH</b></td>\r\n"
        "<td ><b>SIZE</b></td>\r\n"
        "<td ><b>TYPE</b></td>\r\n"
        "<td ><b>UPDATE TIME</b></td>\r\n"
        "<td ><b>CREATE TIME</b></td>\r\n"
        "<td ><b>ACCESS TIME</b></td>\r\n"
        "<td ><b>MATCH</b></td>\r\n"
        "</tr>\r\n"
        "</table>\r\n"
        "<hr>\r\n"
        "</body>\r\n"
        "<p><i>Quendle — LAN file search</i>\r\n"
        "</html>\r\n";
    EXPECT_EQ(report(SearchCriteria{}, 0, ResultRowList{}), expected);
}

TEST(HtmlReport, EveryRowKindInDisplayOrder)
{
    ResultRowList rows; // added oldest first: the report starts with the last one added
    rows.add(row({"WORKGROUP", "", "", "グループ", "", "", "", "WORK", ""}));
    rows.add(row({"\\\\HOST1", "WORKGROUP", "", "コンピューター", "", "", "", "HOST", ""}));
    rows.add(row({"\\\\HOST1\\DOCS", "WORKGROUP\\\\HOST1", "", "共有フォルダ", "", "", "", "DOCS", ""}));
    rows.add(row({"\\\\HOST1\\LASER", "WORKGROUP\\\\HOST1", "", "プリンター", "", "", "", "", ""}));
    rows.add(row({"report.txt", "\\\\HOST1\\DOCS\\2024", "3 KB", "Text", "2024/03/01 00:00", "2001/05/03 14:07",
                  "2024/03/01 00:00", "REPORT", "needle"}));
    rows.add(row({"old", "\\\\HOST1\\DOCS", "", "フォルダ", "2001/05/03 14:07", "", "", "", ""}));
    rows.add(row({"R&D <1>.txt", "\\\\HOST1\\DOCS", "0 KB", "Text", "", "", "", "", ""}));
    rows.add(row({"議事録 #1.txt", "\\\\HOST1\\DOCS", "1 KB", "Text", "", "", "", "", ""}));
    rows.add(row({"a & <b>.txt", "/srv/files", "0 KB", "Text", "", "", "", "", ""}));
    rows.add(row({"日本 語%#.txt", "/srv/共有", "2 KB", "Text", "", "", "", "", "\"x\""}));

    const std::string fiveBlank = blankCell() + blankCell() + blankCell() + blankCell() + blankCell();
    const std::string expected =
        // A local file: a file:// link, percent-encoded; the path stays plain text.
        "<tr>\r\n"
        "<td>\r\n<a href = \"file:///srv/%E5%85%B1%E6%9C%89/%E6%97%A5%E6%9C%AC%20%E8%AA%9E%25%23.txt\">"
        "日本 語%#.txt</a></td>\r\n"
        "<td>\r\n/srv/共有</td>\r\n"
        "<td>\r\n2 KB\r\n</td>\r\n"
        "<td>\r\nText\r\n</td>\r\n"
        "<td>\r\n&nbsp</td>\r\n<td>\r\n&nbsp</td>\r\n<td>\r\n&nbsp</td>\r\n<td>\r\n&nbsp</td>\r\n"
        "<td>\r\n&quot;x&quot;\r\n</td>\r\n"
        "</tr>\r\n"
        // Markup characters of a name are escaped in the text and encoded in the URL.
        "<tr>\r\n" + linkCell("file:///srv/files/a%20%26%20%3Cb%3E.txt", "a &amp; &lt;b&gt;.txt")
        + cell("/srv/files") + textCell("0 KB") + textCell("Text") + fiveBlank + "</tr>\r\n"
        // Network files link to their smb:// URL, each component encoded.
        + "<tr>\r\n" + linkCell("smb://HOST1/DOCS/%E8%AD%B0%E4%BA%8B%E9%8C%B2%20%231.txt", "議事録 #1.txt")
        + linkCell("smb://HOST1/DOCS", "\\\\HOST1\\DOCS") + textCell("1 KB") + textCell("Text") + fiveBlank
        + "</tr>\r\n"
        + "<tr>\r\n" + linkCell("smb://HOST1/DOCS/R&amp;D%20&lt;1&gt;.txt", "R&amp;D &lt;1&gt;.txt")
        + linkCell("smb://HOST1/DOCS", "\\\\HOST1\\DOCS") + textCell("0 KB") + textCell("Text") + fiveBlank
        + "</tr>\r\n"
        // A folder has no size.
        + "<tr>\r\n" + linkCell("smb://HOST1/DOCS/old", "old") + linkCell("smb://HOST1/DOCS", "\\\\HOST1\\DOCS")
        + blankCell() + textCell("フォルダ") + textCell("2001/05/03 14:07") + blankCell() + blankCell() + blankCell()
        + blankCell() + "</tr>\r\n"
        + "<tr>\r\n" + linkCell("smb://HOST1/DOCS/2024/report.txt", "report.txt")
        + linkCell("smb://HOST1/DOCS/2024", "\\\\HOST1\\DOCS\\2024") + textCell("3 KB") + textCell("Text")
        + textCell("2024/03/01 00:00") + textCell("2001/05/03 14:07") + textCell("2024/03/01 00:00")
        + textCell("REPORT") + textCell("needle") + "</tr>\r\n"
        // Share and printer: the path link goes to the computer, the name up to its last backslash.
        + "<tr>\r\n" + linkCell("smb://HOST1/LASER", "\\\\HOST1\\LASER")
        + linkCell("smb://HOST1", "WORKGROUP\\\\HOST1") + blankCell() + textCell("プリンター") + fiveBlank
        + "</tr>\r\n"
        + "<tr>\r\n" + linkCell("smb://HOST1/DOCS", "\\\\HOST1\\DOCS") + linkCell("smb://HOST1", "WORKGROUP\\\\HOST1")
        + blankCell() + textCell("共有フォルダ") + blankCell() + blankCell() + blankCell() + textCell("DOCS")
        + blankCell() + "</tr>\r\n"
        // A computer links to itself; its workgroup is plain text.
        + "<tr>\r\n" + linkCell("smb://HOST1", "\\\\HOST1") + cell("WORKGROUP") + blankCell()
        + textCell("コンピューター") + blankCell() + blankCell() + blankCell() + textCell("HOST") + blankCell()
        + "</tr>\r\n"
        // A workgroup has no path: plain name, blank path.
        + "<tr>\r\n<td>\r\nWORKGROUP\r\n</td>\r\n<td>\r\n&nbsp</td>\r\n<td>\r\n&nbsp</td>\r\n"
          "<td>\r\nグループ\r\n</td>\r\n<td>\r\n&nbsp</td>\r\n<td>\r\n&nbsp</td>\r\n<td>\r\n&nbsp</td>\r\n"
          "<td>\r\nWORK\r\n</td>\r\n<td>\r\n&nbsp</td>\r\n</tr>\r\n";
    EXPECT_EQ(tableBody(report(SearchCriteria{}, 10, rows)), expected);

    // Targets no URL can name are written as (escaped) text.
    EXPECT_EQ(HtmlReport::linkUrl("\\\\HOST\\\\share"), "\\\\HOST\\\\share"); // empty component
    EXPECT_EQ(HtmlReport::linkUrl("relative/x"), "relative/x");
}

TEST(HtmlReport, LinksGoToTheRealBytesTheRowKeeps)
{
    const std::string estimate = "\x8C\xA9\x90\xCF\x8F\x91.txt"; // 見積書.txt in CP932
    const std::string invoices = "\x90\xBF\x8B\x81";                // 請求
    ResultRowList rows;
    ResultRow network = row({"x\uFFFD.txt", "\\\\HOST1\\DOCS\\\uFFFD", "0 KB", "Text"});
    network.sourcePath = "\\\\HOST1\\DOCS\\\xFF\\x\xFF.txt";
    rows.add(std::move(network));
    ResultRow neither = row({"caf\uFFFD.txt", "/srv", "0 KB", "Text"});
    neither.sourcePath = "/srv/caf\xE9.txt";
    rows.add(std::move(neither));
    ResultRow decoded = row({"見積書.txt〔CP932〕", "/srv/請求〔CP932〕", "1 KB", "Text"});
    decoded.sourcePath = "/srv/" + invoices + "/" + estimate;
    rows.add(std::move(decoded));

    const std::string rest = textCell("Text") + blankCell() + blankCell() + blankCell() + blankCell() + blankCell();
    const std::string expected =
        "<tr>\r\n" + linkCell("file:///srv/%90%BF%8B%81/%8C%A9%90%CF%8F%91.txt", "見積書.txt〔CP932〕")
        + cell("/srv/請求〔CP932〕") + textCell("1 KB") + rest + "</tr>\r\n"
        + "<tr>\r\n" + linkCell("file:///srv/caf%E9.txt", "caf\uFFFD.txt") + cell("/srv") + textCell("0 KB") + rest
        + "</tr>\r\n"
        // The folder link of a network row is its real path less the name.
        + "<tr>\r\n" + linkCell("smb://HOST1/DOCS/%FF/x%FF.txt", "x\uFFFD.txt")
        + linkCell("smb://HOST1/DOCS/%FF", "\\\\HOST1\\DOCS\\\uFFFD") + textCell("0 KB") + rest + "</tr>\r\n";
    EXPECT_EQ(tableBody(report(SearchCriteria{}, 3, rows)), expected);
}

TEST(HtmlReport, CriteriaParagraphWithEveryCondition)
{
    TimeZone tz("JST-9");
    SearchCriteria criteria;
    criteria.nameText = "*.txt;re<po>rt&";
    criteria.lookInPath = "\\\\HOST1\\DOCS";
    criteria.containing = true;
    criteria.containingText = "needle;hay";
    criteria.optionsShown = true;
    criteria.sizeCondition = true;
    criteria.minimumKb = 10;
    criteria.maximumKb = 2000;
    criteria.timeCondition = true;
    criteria.startTime = 988866420;  // 2001/05/03 14:07 in Japan
    criteria.endTime = 1709218800;   // 2024/03/01 00:00
    criteria.typeIndex = 3;

    const char* const words[] = {"update\r\n", "create\r\n", "access\r\n", "&nbsp"};
    const int timeTypes[] = {0, 1, 2, 7};
    for (int i = 0; i < 4; ++i) {
        criteria.timeType = timeTypes[i];
        const std::string expected = std::string("<p><b>Search  *.txtre&lt;po&gt;rt&amp;  from   \\\\HOST1\\DOCS\r\n"
                                                 "<P>\r\n"
                                                 " has string:\r\n"
                                                 "needle;hay \r\n"
                                                 "<P>\r\n"
                                                 "size: 10 KB->2000 KB\r\n"
                                                 "<p>\r\n")
            + words[i]
            + "time: 2001/05/03 14:07->2024/03/01 00:00\r\n"
              "<p>\r\n"
              "42  found\r\n"
              "</b></p><b><p>Resource type: コンピューター  </b></p>";
        EXPECT_EQ(criteriaParagraph(report(criteria, 42, ResultRowList{})), expected) << "time type " << timeTypes[i];
    }
    // The separators are left out of the page only, not out of the criteria.
    EXPECT_EQ(criteria.nameText, "*.txt;re<po>rt&");
}

TEST(HtmlReport, ConditionsOffOrOptionsHiddenWriteNoLines)
{
    SearchCriteria criteria;
    criteria.lookInPath = "WORKGROUP";
    criteria.optionsShown = false; // the size and time flags of an earlier search stay set
    criteria.sizeCondition = true;
    criteria.timeCondition = true;
    criteria.containing = false;
    criteria.containingText = "ignored";
    criteria.typeIndex = 5;
    EXPECT_EQ(criteriaParagraph(report(criteria, 7, ResultRowList{})),
              "<p><b>Search    from   WORKGROUP\r\n<P>\r\n7  found\r\n</b></p><b><p>Resource type: プリンター  </b></p>");

    criteria.optionsShown = true;
    criteria.sizeCondition = false;
    criteria.timeCondition = false;
    criteria.typeIndex = 9; // no such row: no type text
    EXPECT_EQ(criteriaParagraph(report(criteria, 0, ResultRowList{})),
              "<p><b>Search    from   WORKGROUP\r\n<P>\r\n0  found\r\n</b></p><b><p>Resource type:   </b></p>");
}

TEST(HtmlReport, LargeListIsStreamedInBufferSizedChunks)
{
    ResultRowList rows;
    for (int i = 0; i < 20000; ++i)
        rows.add(row({"file" + std::to_string(i) + ".txt", "\\\\HOST1\\DOCS", "1 KB", "Text", "", "", "", "", ""}));
    MemoryOutput out;
    ASSERT_TRUE(HtmlReport::write(SearchCriteria{}, 20000, rows, out));
    EXPECT_GT(out.writes, 10);
    EXPECT_LT(out.largestWrite, 2 * HtmlReport::kBufferSize);
    EXPECT_EQ(std::count(out.bytes.begin(), out.bytes.end(), '\n'), 31 + 20000 * 22);
    EXPECT_TRUE(out.bytes.ends_with("</html>\r\n"));
    // Newest first.
    EXPECT_LT(out.bytes.find(">file19999.txt<"), out.bytes.find(">file0.txt<"));
}

TEST(HtmlReport, RefusedWriteStopsTheReport)
{
    ResultRowList rows;
    for (int i = 0; i < 20000; ++i)
        rows.add(row({"file" + std::to_string(i), "/srv", "", "", "", "", "", "", ""}));
    MemoryOutput out;
    out.acceptedWrites = 2;
    EXPECT_FALSE(HtmlReport::write(SearchCriteria{}, 0, rows, out));
    EXPECT_EQ(out.writes, 2); // nothing more was offered after the refusal
    EXPECT_FALSE(out.bytes.ends_with("</html>\r\n"));
}
