// Case folding, UTF-8 handling and the name wildcard matcher.
#include "search/CaseFold.h"
#include "search/NamePattern.h"
#include "search/Utf8.h"

#include <gtest/gtest.h>

using namespace qv;

TEST(CaseFold, FoldsAsciiFullWidthAndOtherScriptsWithoutChangingLength)
{
    EXPECT_EQ(CaseFold::toUpper("report.txt"), "REPORT.TXT");
    EXPECT_EQ(CaseFold::toUpper("ａｂｃ"), "ＡＢＣ");          // full-width Latin
    EXPECT_EQ(CaseFold::toLower("ＡＢＣ"), "ａｂｃ");
    EXPECT_EQ(CaseFold::toUpper("éλж"), "ÉΛЖ");
    EXPECT_EQ(CaseFold::toLower("ÉΛЖ"), "éλж");
    // Kana and kanji have no case and stay as they are.
    EXPECT_EQ(CaseFold::toUpper("報告書ファイル"), "報告書ファイル");
    // A mapping that would change the byte length (dotted capital I) is left out.
    const std::string dottedI = "\xC4\xB0";
    EXPECT_EQ(CaseFold::toLower(dottedI).size(), dottedI.size());
}

TEST(CaseFold, LeavesInvalidBytesAlone)
{
    const std::string text = std::string("a\xFF") + "b\xE3\x81" + "c";
    EXPECT_EQ(CaseFold::toUpper(text), std::string("A\xFF") + "B\xE3\x81" + "C");
}

TEST(CaseFold, IncompleteTailFindsACutCharacter)
{
    const std::string text = "abc\xEF\xBC"; // first two bytes of a three-byte character
    EXPECT_EQ(CaseFold::incompleteTail(text.data(), text.size()), 2u);
    const std::string whole = "abc\xEF\xBC\xA1";
    EXPECT_EQ(CaseFold::incompleteTail(whole.data(), whole.size()), 0u);
    EXPECT_EQ(CaseFold::incompleteTail("ab", 2), 0u);
}

TEST(Utf8, SanitizedReplacesEachInvalidByte)
{
    EXPECT_EQ(Utf8::sanitized("abc"), "abc");
    EXPECT_EQ(Utf8::sanitized("報告"), "報告");
    EXPECT_EQ(Utf8::sanitized("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(Utf8::sanitized("\xE5\xA0"), "\xEF\xBF\xBD\xEF\xBF\xBD"); // cut-off character
    EXPECT_EQ(Utf8::sanitized("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD"); // overlong slash
    EXPECT_FALSE(Utf8::isValid("\xED\xA0\x80"));                        // surrogate
}

struct PatternCase {
    const char* pattern;
    const char* name;
    bool matches;
};

class NamePatternTable : public ::testing::TestWithParam<PatternCase> {};

TEST_P(NamePatternTable, MatchesWholeNamesWithoutRegardToCase)
{
    const PatternCase& c = GetParam();
    EXPECT_EQ(NamePattern(c.pattern).matches(c.name), c.matches) << c.pattern << " on " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NamePatternTable,
    ::testing::Values(
        PatternCase{"*", "anything", true}, PatternCase{"*", "", true},
        PatternCase{"*REPORT*", "monthly_Report.doc", true}, PatternCase{"*REPORT*", "repor", false},
        PatternCase{"*.TXT", "a.txt", true}, PatternCase{"*.TXT", "a.txt.bak", false},
        PatternCase{"A?C", "abc", true}, PatternCase{"A?C", "ac", false}, PatternCase{"A?C", "abbc", false},
        // "?" is one character, however many bytes it takes.
        PatternCase{"A?C", "a報c", true}, PatternCase{"??", "報告", true}, PatternCase{"?", "報告", false},
        PatternCase{"*報告*", "月次報告書.txt", true},
        PatternCase{"*ＲＥＰＯＲＴ*", "ｒｅｐｏｒｔ.txt", true},
        // "*.*" lists every name, with or without a dot, as the platform's find service does.
        PatternCase{"*.*", "Makefile", true}, PatternCase{"*.*", "a.b", true},
        PatternCase{"A*.*", "abc", true}, PatternCase{"A*.*", "bc", false},
        PatternCase{"*A*B*C", "xaybzc", true}, PatternCase{"*A*B*C", "xaybzcd", false},
        PatternCase{"**", "x", true}, PatternCase{"A*", "", false},
        PatternCase{"REP*", "Report.txt", true}, PatternCase{"REP*", "xreport", false},
        PatternCase{"A.TXT", "a.TXT", true}, PatternCase{"A.TXT", "a.txtx", false},
        PatternCase{"*報告", "月次報告", true}, PatternCase{"*報告", "報告書", false},
        // A name that is no valid UTF-8 is matched byte for byte.
        PatternCase{"*\xFF*", "a\xFF" "b", true}, PatternCase{"A?B", "a\xFF" "b", true}));
