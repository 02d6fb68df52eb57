// Result rows, the row list and the cell formats.
#include "results/CellFormat.h"
#include "results/CellTextPool.h"
#include "results/PlaceFailure.h"
#include "results/ResultImageList.h"
#include "results/TimeCell.h"
#include "results/ResultRowList.h"

#include "tests/support/TimeZone.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <random>
#include <ctime>

using namespace qv;
using qv::test::TimeZone;

namespace {

ResultRow named(const std::string& name)
{
    ResultRow row;
    row.cell(Column::Name) = name;
    return row;
}

} // namespace

TEST(ResultRowList, NewRowsGoOnTopWithKeysCountingUp)
{
    ResultRowList list;
    list.add(named("first"));
    list.add(named("second"));
    list.add(named("third"));
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(0).key, 2);
    EXPECT_EQ(list.at(1).key, 1);
    EXPECT_EQ(list.at(2).key, 0);
    EXPECT_EQ(list.cellText(0, Column::Name), "third");
    EXPECT_EQ(list.cellText(2, Column::Name), "first");
    EXPECT_THROW(list.at(3), std::out_of_range);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.add(named("again")), 0);
}

TEST(ResultRowList, AddingAtTheTopKeepsEarlierTextsInPlace)
{
    ResultRowList list;
    list.add(named("oldest"));
    const CellText oldest = list.cellText(0, Column::Name);
    for (int i = 0; i < 100000; ++i)
        list.add(named("n" + std::to_string(i)));
    // Views the window holds must survive later rows: a pool that moved its texts
    // when it grew would leave this one pointing at freed memory.
    EXPECT_EQ(list.cellText(list.count() - 1, Column::Name).data(), oldest.data());
    EXPECT_EQ(oldest, "oldest");
}

TEST(ResultRowList, RowsComeBackExactlyAsAdded)
{
    ResultRowList list;
    ResultRow full;
    for (int c = 0; c < kColumnCount; ++c)
        full.cells[static_cast<std::size_t>(c)] = "cell " + std::to_string(c);
    full.cell(Column::Path) = std::string(300000, 'p'); // longer than a pool block
    full.image = kFirstFileImage + 7;
    full.sourcePath = "/tmp/\x93\xfa";
    ResultRow blank; // every cell empty
    blank.image = ImageComputer;
    ResultRow sharing = full; // the same texts again, but no source bytes
    sharing.sourcePath.clear();
    sharing.cell(Column::Name) = "other";
    list.add(full);
    list.add(blank);
    list.add(sharing);

    const ResultRow third = list.at(0);
    const ResultRow second = list.at(1);
    const ResultRow first = list.at(2);
    EXPECT_EQ(first.cells, full.cells);
    EXPECT_EQ(first.image, full.image);
    EXPECT_EQ(first.sourcePath, full.sourcePath);
    EXPECT_EQ(first.key, 0);
    EXPECT_EQ(second.cells, blank.cells);
    EXPECT_EQ(second.image, ImageComputer);
    EXPECT_EQ(third.cells, sharing.cells);
    EXPECT_EQ(third.sourcePath, "");
    EXPECT_EQ(list.image(0), full.image);
    EXPECT_EQ(list.key(1), 1);
    // Rows that share a text share its bytes.
    EXPECT_EQ(list.cellText(0, Column::Path).data(), list.cellText(2, Column::Path).data());
}

TEST(TimeCell, EveryTimeInRangeComesBackAndKeepsItsOrder)
{
    std::mt19937 random(11);
    std::uint32_t before = 0;
    std::string beforeText;
    for (const char* text : {"1900/01/01 00:00", "1999/12/31 23:59", "2024/02/31 00:00", "5907/12/31 23:59"}) {
        const std::optional<std::uint32_t> packed = TimeCell::pack(text);
        ASSERT_TRUE(packed) << text;
        char back[TimeCell::kTextSize];
        TimeCell::unpack(*packed, back);
        EXPECT_EQ(std::string_view(back, sizeof back), text);
        EXPECT_LT(*packed, std::uint32_t{1} << 31);
    }
    for (int i = 0; i < 20000; ++i) {
        char text[17];
        std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u", 1900 + static_cast<unsigned>(random() % 4008),
                      1 + static_cast<unsigned>(random() % 12), 1 + static_cast<unsigned>(random() % 31),
                      static_cast<unsigned>(random() % 24), static_cast<unsigned>(random() % 60));
        const std::optional<std::uint32_t> packed = TimeCell::pack(text);
        ASSERT_TRUE(packed) << text;
        char back[TimeCell::kTextSize];
        TimeCell::unpack(*packed, back);
        ASSERT_EQ(std::string_view(back, sizeof back), text);
        if (i > 0)
            ASSERT_EQ(*packed < before, std::string(text) < beforeText) << text << " and " << beforeText;
        before = *packed;
        beforeText = text;
    }
    for (const char* text : {"", "1899/12/31 23:59", "5908/01/01 00:00", "2024/00/01 00:00", "2024/13/01 00:00",
                             "2024/01/00 00:00", "2024/01/32 00:00", "2024/01/01 24:00", "2024/01/01 00:60",
                             "2024/1/01 00:00", "2024/01/01 00:00 ", "2024-01-01 00:00", "2024/01/01T00:00",
                             "20２4/01/01 00:00", "+024/01/01 00:00", "12345/01/01 00:00"})
        EXPECT_FALSE(TimeCell::pack(text)) << text;
}

TEST(CellText, AHeldTextMovesWithItsValue)
{
    std::vector<CellText> cells;
    cells.push_back(CellText::held("2024/03/01 12:00"));
    const std::string kept = "kept elsewhere";
    cells.push_back(CellText(kept));
    for (int i = 0; i < 100; ++i)
        cells.push_back(cells[static_cast<std::size_t>(i % 2)]); // copies, while the vector moves them around
    EXPECT_EQ(cells[98], "2024/03/01 12:00");
    EXPECT_EQ(cells[99], "kept elsewhere");
    EXPECT_EQ(cells[99].data(), kept.data());
    CellText assigned;
    assigned = cells[0];
    cells.clear();
    EXPECT_EQ(assigned, "2024/03/01 12:00");
}

TEST(CellTextPool, KeepsEachTextOnceUnderOneId)
{
    CellTextPool pool;
    EXPECT_EQ(pool.intern(""), 0u);
    const std::uint32_t a = pool.intern("\\\\HOST\\share");
    const std::uint32_t b = pool.intern("\\\\HOST\\share2");
    EXPECT_NE(a, b);
    EXPECT_EQ(pool.intern(std::string("\\\\HOST\\share")), a);
    // Enough texts to grow the index many times: every id still finds its text and
    // every text its id.
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < 50000; ++i)
        ids.push_back(pool.intern("t" + std::to_string(i)));
    for (int i = 0; i < 50000; ++i) {
        EXPECT_EQ(pool.text(ids[static_cast<std::size_t>(i)]), "t" + std::to_string(i));
        EXPECT_EQ(pool.intern("t" + std::to_string(i)), ids[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(pool.count(), 50003u); // the empty text, a, b and the 50,000
    EXPECT_EQ(pool.text(a), "\\\\HOST\\share");
    // Texts that differ only after a zero byte are different texts.
    const std::uint32_t z1 = pool.intern(std::string_view("x\0y", 3));
    const std::uint32_t z2 = pool.intern(std::string_view("x\0z", 3));
    EXPECT_NE(z1, z2);
    pool.clear();
    EXPECT_EQ(pool.count(), 1u);
    EXPECT_EQ(pool.intern("t1"), 1u);
}

TEST(CellFormat, SizeInWholeKilobytes)
{
    EXPECT_EQ(CellFormat::sizeKb(0), "0 KB");
    EXPECT_EQ(CellFormat::sizeKb(1023), "0 KB");
    EXPECT_EQ(CellFormat::sizeKb(1024), "1 KB");
    EXPECT_EQ(CellFormat::sizeKb(5LL << 30), "5242880 KB");
}

TEST(CellFormat, TimeInLocalTime)
{
    TimeZone tz("JST-9");
    EXPECT_EQ(CellFormat::time(988866420), "2001/05/03 14:07"); // 05:07 UTC
    EXPECT_EQ(CellFormat::time(0), "1970/01/01 09:00");
    EXPECT_EQ(CellFormat::time(-1), "");
    EXPECT_EQ(CellFormat::time(4102444800), "2100/01/01 09:00"); // past 2038
}

TEST(CellFormat, TimeFollowsDaylightSavingChanges)
{
    TimeZone tz("EST5EDT,M3.2.0,M11.1.0");
    // 2021-03-14 06:59 UTC is 01:59 EST; a minute later it is 03:00 EDT.
    EXPECT_EQ(CellFormat::time(1615705140), "2021/03/14 01:59");
    EXPECT_EQ(CellFormat::time(1615705200), "2021/03/14 03:00");
    EXPECT_EQ(CellFormat::time(1615705140 + 3600 * 24 * 200), "2021/09/30 02:59");
    // The same instants agree with the C library, one by one.
    for (std::int64_t t = 1615600000; t < 1615800000; t += 997) {
        const std::time_t tt = static_cast<std::time_t>(t);
        std::tm tm{};
        localtime_r(&tt, &tm);
        char expected[32];
        std::strftime(expected, sizeof expected, "%Y/%m/%d %H:%M", &tm);
        ASSERT_EQ(CellFormat::time(t), expected) << t;
    }
}

// One errno value, one reason, worded for the kind of place.
TEST(PlaceFailure, ReasonsFollowTheErrorAndTheKindOfPlace)
{
    using Kind = PlaceFailure::Kind;
    const struct {
        Kind kind;
        int error;
        const char* reason;
    } table[] = {
        {Kind::Folder, ENOENT, "no such folder"},
        {Kind::Share, ENOENT, "no such share, or no computer of that name"},
        {Kind::Computer, ENOENT, "no computer of that name was found"},
        {Kind::Workgroup, ENOENT, "no workgroup of that name was found"},
        {Kind::Network, ENOENT, "no workgroup or computer was found"},
        {Kind::Folder, ENOTDIR, "not a folder"},
        {Kind::Share, EACCES, "access denied"},
        {Kind::Folder, EPERM, "access denied"},
        {Kind::Computer, ETIMEDOUT, "the computer did not answer in time"},
        {Kind::Workgroup, ETIMEDOUT, "no answer in time"},
        {Kind::Computer, ECONNREFUSED, "the computer refused the connection"},
        {Kind::Share, EHOSTUNREACH, "the computer cannot be reached"},
        {Kind::Computer, EINVAL, "no computer of that name was found"},
        {Kind::Folder, EIO, "input/output error"}, // strerror's, without its capital
    };
    for (const auto& row : table)
        EXPECT_EQ(PlaceFailure::reasonFor(row.kind, row.error), row.reason) << row.error;

    const PlaceFailure helper = PlaceFailure::of("\\\\PC", Kind::Computer, ENOPKG, false, "the helper is missing");
    EXPECT_EQ(helper.reason, "the helper is missing");
    EXPECT_TRUE(helper.installation);
    const PlaceFailure plain = PlaceFailure::of("/x", Kind::Folder, EACCES, true);
    EXPECT_EQ(plain.reason, "access denied");
    EXPECT_FALSE(plain.installation);
    EXPECT_TRUE(plain.searchPlace);
}

TEST(ResultImageList, FixedImagesThenOneIndexPerIcon)
{
    ResultImageList images;
    EXPECT_EQ(images.count(), 10);
    EXPECT_EQ(images.indexForIcon("text-plain"), 10);
    EXPECT_EQ(images.indexForIcon("image-png"), 11);
    EXPECT_EQ(images.indexForIcon("text-plain"), 10);
    EXPECT_EQ(images.iconName(11), "image-png");
    EXPECT_EQ(images.iconName(3), "");
    images.reset();
    EXPECT_EQ(images.count(), 10);
    EXPECT_EQ(images.indexForIcon("image-png"), 10);
}
