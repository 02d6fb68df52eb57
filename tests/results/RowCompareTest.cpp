// The order of sorted result rows, the row list's display order, and the paths rows stand for.
#include "results/ResultRowList.h"
#include "results/RowCompare.h"
#include "results/RowPath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace qv;

namespace {

ResultRow makeRow(const std::string& name, const std::string& path = {}, const std::string& size = {})
{
    ResultRow row;
    row.cell(Column::Name) = name;
    row.cell(Column::Path) = path;
    row.cell(Column::Size) = size;
    return row;
}

std::vector<std::string> column(const ResultRowList& list, Column c)
{
    std::vector<std::string> cells;
    for (std::int64_t i = 0; i < list.count(); ++i)
        cells.emplace_back(list.cellText(i, c));
    return cells;
}

} // namespace

TEST(RowCompare, SizeCellsCountTheirKilobytes)
{
    EXPECT_EQ(RowCompare::sizeValue("5 KB"), 5);
    EXPECT_EQ(RowCompare::sizeValue("1023 KB"), 1023);
    EXPECT_EQ(RowCompare::sizeValue("0 KB"), 0);
    EXPECT_EQ(RowCompare::sizeValue("5242880 KB"), 5242880);
    EXPECT_EQ(RowCompare::sizeValue("9000000000000 KB"), 9000000000000); // beyond 32 bits
    // Folders and network rows have empty Size cells; anything without "KB" is -1.
    EXPECT_EQ(RowCompare::sizeValue(""), -1);
    EXPECT_EQ(RowCompare::sizeValue("123"), -1);
    // The last two characters are cut, whatever they are.
    EXPECT_EQ(RowCompare::sizeValue("12 KBxy"), 12);
    EXPECT_EQ(RowCompare::sizeValue("KB"), 0);
    // Read as strtoll reads the text less its last two characters, overflow included.
    for (const std::string cell : {" 42 KB", "+7 KB", "-3 KB", "abc KB", "1e3 KB", "9223372036854775807 KB",
                                   "9223372036854775808 KB", "-9223372036854775808 KB", "-99999999999999999999 KB",
                                   "99999999999999999999 KB", "\t12KB", "- 5 KB"}) {
        const std::string number = cell.substr(0, cell.size() - 2);
        EXPECT_EQ(RowCompare::sizeValue(cell), std::strtoll(number.c_str(), nullptr, 10)) << cell;
    }
}

TEST(RowCompare, SizesCompareByValueEmptyFirst)
{
    EXPECT_LT(RowCompare::compareCells(Column::Size, "", "0 KB", true), 0);
    EXPECT_LT(RowCompare::compareCells(Column::Size, "0 KB", "5 KB", true), 0);
    EXPECT_LT(RowCompare::compareCells(Column::Size, "5 KB", "1023 KB", true), 0); // not as text
    EXPECT_EQ(RowCompare::compareCells(Column::Size, "7 KB", "7 KB", true), 0);
    EXPECT_GT(RowCompare::compareCells(Column::Size, "5 KB", "", true), 0);
    // No overflow at the ends of the range.
    EXPECT_GT(RowCompare::compareSizeValues(INT64_MAX, -1), 0);
    EXPECT_LT(RowCompare::compareSizeValues(INT64_MIN, 1), 0);
}

TEST(RowCompare, TextIgnoresLetterCaseCharacterByCharacter)
{
    EXPECT_EQ(RowCompare::compareCells(Column::Name, "Report.TXT", "report.txt", true), 0);
    EXPECT_LT(RowCompare::compareCells(Column::Name, "apple", "Banana", true), 0);
    // Full-width Latin letters fold like ASCII ones.
    EXPECT_EQ(RowCompare::compareCells(Column::Name, "ＡＢＣ", "ａｂｃ", true), 0);
    EXPECT_EQ(RowCompare::compareCells(Column::Type, "ÄRGER", "ärger", true), 0);
    // Japanese compares by character: あ (U+3042) before い (U+3044) before 漢 (U+6F22).
    EXPECT_LT(RowCompare::compareCells(Column::Name, "あいう", "いう", true), 0);
    EXPECT_LT(RowCompare::compareCells(Column::Name, "いう", "漢字", true), 0);
    EXPECT_LT(RowCompare::compareCells(Column::Name, "Zeta", "ぜーた", true), 0);
    // Invalid bytes compare as bytes, after every valid character that precedes them.
    EXPECT_LT(RowCompare::compareCells(Column::Name, "aé", "a\xff", true), 0);
    EXPECT_GT(RowCompare::compareCells(Column::Name, "a\xff", "a\xfe\xff", true), 0);
    EXPECT_EQ(RowCompare::compareCells(Column::Name, "A\xff", "a\xff", true), 0);
}

TEST(RowCompare, EmptyTimeCellsSortFirstAndTimesInOrder)
{
    EXPECT_LT(RowCompare::compareCells(Column::Created, "", "1970/01/01 09:00", true), 0);
    EXPECT_LT(RowCompare::compareCells(Column::Updated, "2001/05/03 14:07", "2001/11/03 04:07", true), 0);
    EXPECT_LT(RowCompare::compareCells(Column::Accessed, "1999/12/31 23:59", "2000/01/01 00:00", true), 0);
}

TEST(RowCompare, DescendingNegatesEveryResult)
{
    const std::vector<std::pair<std::string, std::string>> pairs{{"", "3 KB"}, {"b", "A"}, {"x", "X"}, {"10 KB", "9 KB"}};
    for (const Column c : {Column::Name, Column::Size, Column::Updated}) {
        for (const auto& [a, b] : pairs) {
            const int up = RowCompare::compareCells(c, a, b, true);
            EXPECT_EQ(RowCompare::compareCells(c, a, b, false), -up) << a << " / " << b;
        }
    }
}

TEST(ResultRowList, SortBySizeShowsFoldersFirstThenFilesBySize)
{
    ResultRowList list;
    list.add(makeRow("big.bin", "\\\\H\\s", "1023 KB"));
    list.add(makeRow("docs", "\\\\H\\s", ""));
    list.add(makeRow("small.txt", "\\\\H\\s", "5 KB"));
    list.add(makeRow("empty.txt", "\\\\H\\s", "0 KB"));
    list.add(makeRow("WG", "", ""));
    list.sort(Column::Size, true);
    // Equal rows (the two empty cells) keep the order they had: WG was on top.
    EXPECT_EQ(column(list, Column::Name), (std::vector<std::string>{"WG", "docs", "empty.txt", "small.txt", "big.bin"}));
    list.sort(Column::Size, false);
    EXPECT_EQ(column(list, Column::Name), (std::vector<std::string>{"big.bin", "small.txt", "empty.txt", "WG", "docs"}));
}

TEST(ResultRowList, RowsAddedAfterASortGoOnTopUnsorted)
{
    ResultRowList list;
    for (const char* name : {"b", "d", "a", "c"})
        list.add(makeRow(name));
    list.sort(Column::Name, true);
    EXPECT_EQ(column(list, Column::Name), (std::vector<std::string>{"a", "b", "c", "d"}));
    list.add(makeRow("z"));
    list.add(makeRow("0"));
    EXPECT_EQ(column(list, Column::Name), (std::vector<std::string>{"0", "z", "a", "b", "c", "d"}));
    EXPECT_EQ(list.at(0).key, 5);
    EXPECT_EQ(list.at(2).key, 2); // "a", the third row added
    const std::vector<std::int64_t> where = list.displayIndexesByKey();
    EXPECT_EQ(where, (std::vector<std::int64_t>{3, 5, 2, 4, 1, 0}));
    list.clear();
    EXPECT_EQ(list.count(), 0);
    list.add(makeRow("again"));
    EXPECT_EQ(column(list, Column::Name), std::vector<std::string>{"again"});
}

TEST(ResultRowList, SortAgreesWithTheCompareRuleOnEveryColumn)
{
    // Cells from a small alphabet with case variants, so many rows compare equal.
    // Long texts share their first 16 bytes, where sorting looks first.
    const std::vector<std::string> texts{"", "a", "A", "b", "Ｂ", "ｂ", "あ", "ア", "a\xff", "10 KB", "9 KB", "0 KB",
                                         "2021/05/03 14:07", "2021/05/03 14:08", "2021/05/03 14:0", "abcdefghijklmnop",
                                         "ABCDEFGHIJKLMNOPq", "abcdefghijklmnopQ", "abcdefghijklmnop\xc3", "-3 KB",
                                         // Times the list keeps as numbers, and texts that only look like them.
                                         "1999/12/31 23:59", "1900/01/01 00:00", "5907/12/31 23:59", "5908/01/01 00:00",
                                         "1899/12/31 23:59", "2021/13/03 14:07", "2021/05/03 14:07 ", "2021-05-03 14:07"};
    std::mt19937 random(7);
    ResultRowList list;
    std::vector<ResultRow> added;
    for (int i = 0; i < 500; ++i) {
        ResultRow row;
        for (std::string& cell : row.cells)
            cell = texts[random() % texts.size()];
        added.push_back(row);
        list.add(std::move(row));
    }
    // Every cell reads back as it was given, however the list keeps it.
    for (std::int64_t i = 0; i < list.count(); ++i)
        ASSERT_EQ(list.at(i).cells, added[added.size() - 1 - static_cast<std::size_t>(i)].cells) << "row " << i;
    for (const Column c : {Column::Name, Column::Size, Column::Match, Column::Updated, Column::Accessed}) {
        for (const bool ascending : {true, false}) {
            list.sort(c, ascending);
            for (std::int64_t i = 1; i < list.count(); ++i) {
                const CellText before = list.cellText(i - 1, c);
                const CellText after = list.cellText(i, c);
                const int order = RowCompare::compareCells(c, before, after, ascending);
                ASSERT_LE(order, 0) << "column " << static_cast<int>(c) << " row " << i;
            }
        }
    }
    EXPECT_EQ(list.count(), 500);
}

TEST(RowPath, FullPathAndRowPathOfEachKindOfRow)
{
    const ResultRow workgroup = makeRow("QVGROUP1");
    EXPECT_EQ(fullPath(workgroup), "QVGROUP1");
    EXPECT_FALSE(rowPath(workgroup));

    const ResultRow computer = makeRow("\\\\QVHOST1", "QVGROUP1");
    EXPECT_EQ(fullPath(computer), "QVGROUP1\\\\\\QVHOST1");
    EXPECT_EQ(rowPath(computer), "\\\\QVHOST1");

    const ResultRow share = makeRow("\\\\QVHOST1\\PUBLIC", "QVGROUP1\\\\QVHOST1");
    EXPECT_EQ(rowPath(share), "\\\\QVHOST1\\PUBLIC");

    const ResultRow file = makeRow("報告.txt", "\\\\QVHOST1\\public\\docs");
    EXPECT_EQ(fullPath(file), "\\\\QVHOST1\\public\\docs\\報告.txt");
    EXPECT_EQ(rowPath(file), "\\\\QVHOST1\\public\\docs\\報告.txt");

    const ResultRow local = makeRow("a.txt", "/home/user/docs");
    EXPECT_EQ(fullPath(local), "/home/user/docs\\a.txt");
    EXPECT_FALSE(rowPath(local));

    EXPECT_TRUE(holdsNetworkPath("WG\\\\HOST"));
    EXPECT_FALSE(holdsNetworkPath("C:\\dir\\file"));
}

TEST(RowPath, RealBytesTheRowKeepsComeBeforeItsCells)
{
    ResultRow local = makeRow("見積書.txt〔CP932〕", "/home/user/請求〔CP932〕");
    local.sourcePath = "/home/user/\x90\xBF\x8B\x81/\x8C\xA9\x90\xCF\x8F\x91.txt";
    EXPECT_EQ(fullPath(local), local.sourcePath);
    EXPECT_FALSE(rowPath(local));

    ResultRow network = makeRow("x\uFFFD.txt", "\\\\HOST\\share");
    network.sourcePath = "\\\\HOST\\share\\x\xFF.txt";
    EXPECT_EQ(fullPath(network), network.sourcePath);
    EXPECT_EQ(rowPath(network), network.sourcePath);
}
