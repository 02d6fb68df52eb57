// Reading the form's values into the criteria.
#include "search/CriteriaReader.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace qv;

namespace {

struct Read {
    SearchCriteria criteria;
    SearchHistories histories;
    HistoryAdditions added;

    explicit Read(const SearchFormValues& form, const SearchPlace& place = {})
    {
        added = CriteriaReader::read(form, place, criteria, histories);
    }
};

SearchFormValues withName(const std::string& name)
{
    SearchFormValues form;
    form.nameText = name;
    return form;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(CriteriaReader, NameTextSplitsIntoPartsAndPatterns)
{
    struct Case {
        const char* text;
        Strings parts;
        Strings patterns;
        const char* nameText;
    };
    const Case cases[] = {
        {"", {""}, {"*"}, ""},
        {"report", {"REPORT"}, {"*REPORT*"}, "report"},
        {"Report", {"REPORT"}, {"*REPORT*"}, "report"},
        {"report;", {"REPORT"}, {"*REPORT*"}, "report"},
        {"report;;", {"REPORT", ""}, {"*REPORT*", "*"}, "report;"},
        {"*.txt; *.doc", {"*.TXT", " *.DOC"}, {"*.TXT", "*.DOC"}, "*.txt; *.doc"},
        {"a;;b", {"A", "", "B"}, {"*A*", "*", "*B*"}, "a;;b"},
        {"a?c", {"A?C"}, {"A?C"}, "a?c"},
        {" *.txt ", {" *.TXT "}, {"*.TXT"}, " *.txt "},
        {"   ", {"   "}, {"*"}, "   "},
        {"ｒｅｐｏｒｔ", {"ＲＥＰＯＲＴ"}, {"*ＲＥＰＯＲＴ*"}, "ｒｅｐｏｒｔ"},
    };
    for (const Case& c : cases) {
        const Read r(withName(c.text));
        EXPECT_EQ(r.criteria.nameParts, c.parts) << "«" << c.text << "»";
        EXPECT_EQ(r.criteria.namePatterns, c.patterns) << "«" << c.text << "»";
        EXPECT_EQ(r.criteria.nameText, c.nameText) << "«" << c.text << "»";
    }
}

TEST(CriteriaReader, ContainingStringsAreLowerCasedWithBlanksKept)
{
    SearchFormValues form;
    form.containing = CheckState::Checked;
    form.containingText = "Abc; def";
    Read r(form);
    EXPECT_TRUE(r.criteria.containing);
    EXPECT_EQ(r.criteria.containingStrings, (Strings{"abc", " def"}));
    EXPECT_EQ(r.criteria.containingText, "abc; def");

    form.containingText = "Foo";
    EXPECT_EQ(Read(form).criteria.containingStrings, Strings{"foo"});
    form.containingText = "";
    EXPECT_EQ(Read(form).criteria.containingStrings, Strings{""});
}

TEST(CriteriaReader, HistoryTakesEachLowerCasedTextOnce)
{
    SearchCriteria criteria;
    SearchHistories histories;
    SearchFormValues form = withName("Report");
    HistoryAdditions first = CriteriaReader::read(form, {}, criteria, histories);
    HistoryAdditions second = CriteriaReader::read(form, {}, criteria, histories);
    ASSERT_TRUE(first.name.has_value());
    EXPECT_EQ(*first.name, "report");
    EXPECT_FALSE(second.name.has_value());
    EXPECT_EQ(histories.names.entries(), Strings{"report"});
    // The empty text is remembered like any other.
    EXPECT_EQ(histories.containing.entries(), Strings{""});
}

TEST(CriteriaReader, OnlyACheckedBoxCounts)
{
    SearchFormValues form;
    form.subFolders = CheckState::Indeterminate;
    form.containing = CheckState::Indeterminate;
    const Read r(form);
    EXPECT_FALSE(r.criteria.subFolders);
    EXPECT_FALSE(r.criteria.containing);
}

TEST(CriteriaReader, TypeRowGivesMaskAndDepth)
{
    const int masks[] = {255, 16, 8, 4, 2, 1};
    const int depths[] = {3, 3, 2, 1, 0, 2};
    for (int i = 0; i < 6; ++i) {
        SearchFormValues form;
        form.typeIndex = i;
        const Read r(form);
        EXPECT_EQ(r.criteria.typeIndex, i);
        EXPECT_EQ(r.criteria.typeMask, masks[i]);
        EXPECT_EQ(r.criteria.walkDepth, depths[i]);
    }
}

TEST(CriteriaReader, OptionAreaIsReadOnlyWhenShown)
{
    SearchCriteria criteria;
    SearchHistories histories;
    SearchFormValues form;
    form.optionsShown = CheckState::Checked;
    form.sizeCondition = CheckState::Checked;
    form.timeCondition = CheckState::Checked;
    form.timeTypeIndex = 2;
    form.minSizeText = "10";
    form.maxSizeText = "20";
    form.startTime = {true, 2001, 5, 3, 14, 7, 9};
    form.endTime = {true, 2030, 1, 1, 0, 0, 0};
    CriteriaReader::read(form, {}, criteria, histories);
    EXPECT_TRUE(criteria.sizeConditionApplies());
    EXPECT_EQ(criteria.minimumKb, 10);
    EXPECT_EQ(criteria.maximumKb, 20);
    EXPECT_EQ(criteria.timeType, 2);

    // Options hidden: the ticked boxes and the other values are not read at all.
    SearchFormValues hidden = form;
    hidden.optionsShown = CheckState::Unchecked;
    hidden.minSizeText = "99";
    hidden.timeTypeIndex = 0;
    CriteriaReader::read(hidden, {}, criteria, histories);
    EXPECT_FALSE(criteria.optionsShown);
    EXPECT_FALSE(criteria.sizeConditionApplies());
    EXPECT_FALSE(criteria.timeConditionApplies());
    EXPECT_EQ(criteria.minimumKb, 10);
    EXPECT_EQ(criteria.timeType, 2);
}

TEST(CriteriaReader, PickersAreLocalTimeAndAnInvalidOneKeepsTheEarlierValue)
{
    SearchCriteria criteria;
    SearchHistories histories;
    SearchFormValues form;
    form.optionsShown = CheckState::Checked;
    form.startTime = {true, 2001, 5, 3, 14, 7, 9};
    form.endTime = {true, 2040, 2, 29, 23, 59, 59}; // after 2038
    CriteriaReader::read(form, {}, criteria, histories);
    std::tm tm{};
    tm.tm_year = 101;
    tm.tm_mon = 4;
    tm.tm_mday = 3;
    tm.tm_hour = 14;
    tm.tm_min = 7;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    EXPECT_EQ(criteria.startTime, static_cast<std::int64_t>(std::mktime(&tm)));
    EXPECT_GT(criteria.endTime, std::int64_t{2147483647});

    const std::int64_t before = criteria.startTime;
    form.startTime.valid = false;
    form.timeTypeIndex = -1; // no selection reads as update time
    CriteriaReader::read(form, {}, criteria, histories);
    EXPECT_EQ(criteria.startTime, before);
    EXPECT_EQ(criteria.timeType, 0);
}

TEST(CriteriaReader, SizeTextsGiveTheirLeadingNumber)
{
    EXPECT_EQ(CriteriaReader::leadingNumber(""), 0);
    EXPECT_EQ(CriteriaReader::leadingNumber("abc"), 0);
    EXPECT_EQ(CriteriaReader::leadingNumber("  42kb"), 42);
    EXPECT_EQ(CriteriaReader::leadingNumber("-5"), -5);
    EXPECT_EQ(CriteriaReader::leadingNumber("+7"), 7);
    EXPECT_EQ(CriteriaReader::leadingNumber("5000000000"), 5000000000LL); // past 32 bits
    EXPECT_EQ(CriteriaReader::leadingNumber("99999999999999999999999"), INT64_MAX);
}

TEST(CriteriaReader, LookInPathIsThePlacePath)
{
    SearchPlace place;
    place.placePath = "\\\\HOST\\share\\docs";
    const Read r(SearchFormValues{}, place);
    EXPECT_EQ(r.criteria.lookInPath, "\\\\HOST\\share\\docs");
}

TEST(SearchPlace, TextNamesTheLevel)
{
    struct Case {
        const char* text;
        int level;
        const char* walkRoot;
        bool local;
    };
    const Case cases[] = {
        {"", 0, "", false},
        {"ネットワーク全体", 0, "", false},
        {"WORKGROUP", 1, "", false},
        {"\\\\HOST", 2, "", false},
        {"\\\\HOST\\share", 3, "\\\\HOST\\share", false},
        {"\\\\HOST\\share\\a\\b", 5, "\\\\HOST\\share\\a\\b", false},
        {"\\\\HOST\\share\\", 3, "\\\\HOST\\share", false},
        {"/tmp/x/", 4, "/tmp/x", true},
        {"./docs", 4, "./docs", true},
        {".", 4, ".", true},
    };
    for (const Case& c : cases) {
        const SearchPlace place = SearchPlace::fromText(c.text);
        EXPECT_EQ(place.level, c.level) << c.text;
        EXPECT_EQ(place.walkRoot, c.walkRoot) << c.text;
        EXPECT_EQ(place.local, c.local) << c.text;
    }
}
