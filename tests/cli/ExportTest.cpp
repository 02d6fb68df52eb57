// The window's CSV and JSON Lines exports of the result list: CSV quoting, formula
// cells and the byte-order mark; JSON Lines with exactly the lines qvsearch prints for
// the same search.
#include "network/SearchJobBuilder.h"
#include "network/SearchServices.h"
#include "platform/ReportOutput.h"
#include "platform/SmbProtocol.h"
#include "results/CsvExport.h"
#include "results/JsonLinesExport.h"
#include "search/CriteriaReader.h"
#include "tests/support/ProcessRun.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace qv;
using namespace qv::test;

namespace {

struct MemoryOutput final : ReportOutput {
    std::string bytes;
    int acceptedWrites = -1; // -1: all
    bool write(std::string_view chunk) override
    {
        if (acceptedWrites == 0)
            return false;
        if (acceptedWrites > 0)
            --acceptedWrites;
        bytes += chunk;
        return true;
    }
};

ResultRow row(std::initializer_list<std::string> cells)
{
    ResultRow r;
    std::copy(cells.begin(), cells.end(), r.cells.begin());
    return r;
}

std::string csv(const ResultRowList& rows)
{
    MemoryOutput out;
    EXPECT_TRUE(CsvExport::write(rows, out));
    return out.bytes;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    return out;
}

} // namespace

TEST(CsvExport, ByteOrderMarkHeaderAndRowsNewestFirst)
{
    ResultRowList rows;
    rows.add(row({"old.txt", "/data", "1 KB", "テキスト", "2024/01/02 03:04"}));
    rows.add(row({"見積書.txt", "\\\\HOST\\share", "12 KB"}));
    EXPECT_EQ(csv(rows), "\xEF\xBB\xBF"
                         "name,path,size,type,updated,created,accessed,match,match_string\r\n"
                         "見積書.txt,\\\\HOST\\share,12 KB,,,,,,\r\n"
                         "old.txt,/data,1 KB,テキスト,2024/01/02 03:04,,,,\r\n");
}

TEST(CsvExport, QuotesWhatRfc4180NeedsAndDisarmsFormulas)
{
    struct Case {
        std::string cell, field;
    };
    const Case cases[] = {
        {"plain name.txt", "plain name.txt"},
        {"a,b.txt", "\"a,b.txt\""},
        {"say \"hi\".txt", "\"say \"\"hi\"\".txt\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\rhere", "\"cr\rhere\""},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1", "\"'+1\""},
        {"-rf", "\"'-rf\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\tlead", "\"'\tlead\""},
        {"a=b", "a=b"}, // only a leading sign makes a formula
        {"", ""},
    };
    for (const Case& c : cases) {
        std::string out;
        CsvExport::appendField(out, c.cell);
        EXPECT_EQ(out, c.field) << c.cell;
    }
}

TEST(CsvExport, StopsWhenTheOutputRefuses)
{
    ResultRowList rows;
    for (int i = 0; i < 5000; ++i)
        rows.add(row({"file-" + std::to_string(i) + ".txt", "/a/long/enough/path/to/fill/the/buffer"}));
    MemoryOutput out;
    out.acceptedWrites = 1;
    EXPECT_FALSE(CsvExport::write(rows, out));
    EXPECT_FALSE(JsonLinesExport::write(rows, out));
}

TEST(JsonLinesExport, SameLinesAsQvsearchForTheSameSearch)
{
    TempTree tree({{"report.txt", "the needle"}, {"sub/Report \"2\".md", "needle\ttab"}, {"sub/other.c", "none"},
                   {"sub/deeper/report,3.txt", "NEEDLE"}});
    const ProcessResult printed =
        runProcess({QVSEARCH_PATH, "--format", "jsonl", "-n", "report*", "-c", "needle", tree.root()});
    ASSERT_EQ(printed.status, 0) << printed.err;

    // The window's path: the form's values, the same search job, the list, the export.
    SearchFormValues form;
    form.nameText = "report*";
    form.containing = CheckState::Checked;
    form.containingText = "needle";
    const SearchPlace place = SearchPlace::fromText(tree.root());
    SearchCriteria criteria;
    criteria.startTime = 0;
    criteria.endTime = std::numeric_limits<std::int64_t>::max();
    SearchHistories histories;
    CriteriaReader::read(form, place, criteria, histories);
    RecordingSink sink;
    SearchJobBuilder::build(criteria, place, SearchServices::forCommandLine({}), sink)->run();
    MemoryOutput out;
    ASSERT_TRUE(JsonLinesExport::write(sink.rows, out));

    std::vector<std::string> exported = lines(out.bytes);
    std::reverse(exported.begin(), exported.end()); // the list shows the newest first
    EXPECT_EQ(exported.size(), 3u);
    EXPECT_EQ(exported, lines(printed.out));
}
