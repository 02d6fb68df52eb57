// Result rows, the row list and the cell formats.
#include "results/CellFormat.h"
#include "results/PlaceFailure.h"
#include "results/ResultImageList.h"
#include "results/ResultRowList.h"

#include "tests/support/TimeZone.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
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
    EXPECT_EQ(list.add(named("again")).key, 0);
}

TEST(ResultRowList, AddingAtTheTopKeepsEarlierRowsInPlace)
{
    ResultRowList list;
    const ResultRow* oldest = &list.add(named("oldest"));
    for (int i = 0; i < 100000; ++i)
        list.add(named("n"));
    // A list that copied its rows on every insertion at the top would have moved it.
    EXPECT_EQ(&list.at(list.count() - 1), oldest);
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
