// Case folding, UTF-8 handling and the name wildcard matcher.
#include "platform/CaseFold.h"
#include "search/NamePattern.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// isValid checks byte ranges instead of decoding; it must say what a walk by
// sequenceLength says, at every boundary of every lead byte, also after an ASCII run.
TEST(Utf8, IsValidAgreesWithSequenceLengthAtEveryByteBoundary)
{
    const auto bySequences = [](std::string_view text) {
        for (std::size_t pos = 0; pos < text.size();) {
            const std::size_t length = Utf8::sequenceLength(text, pos);
            if (length == 1 && static_cast<unsigned char>(text[pos]) >= 0x80)
                return false;
            pos += length;
        }
        return true;
    };
    const std::vector<int> edges = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
    int disagreements = 0;
    const auto check = [&](const std::string& sequence) {
        for (const std::string& before : {std::string(), std::string("abcdefg"), std::string("abcdefgh")}) {
            const std::string text = before + sequence + "z";
            if (Utf8::isValid(text) != bySequences(text) && ++disagreements <= 5)
                ADD_FAILURE() << "disagree on " << testing::PrintToString(text);
        }
    };
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        const char b0 = static_cast<char>(lead);
        check(std::string(1, b0));
        for (int second = 0; second <= 0xFF; ++second)
            check({b0, static_cast<char>(second)});
        for (const int second : edges)
            for (const int third : edges) {
                check({b0, static_cast<char>(second), static_cast<char>(third)});
                for (const int fourth : edges)
                    check({b0, static_cast<char>(second), static_cast<char>(third), static_cast<char>(fourth)});
            }
    }
    EXPECT_EQ(disagreements, 0);
    EXPECT_TRUE(Utf8::isValid("\xF4\x8F\xBF\xBF")); // U+10FFFF, the last code point
    EXPECT_FALSE(Utf8::isValid("\xF4\x90\x80\x80"));
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

// A pattern byte that starts no character (a lone lead byte typed on the command line)
// matched the first byte of a whole character in the name, as if a character could be
// cut in two: "\xC3*" found "é", which begins with that byte.
TEST(NamePattern, AnInvalidPatternByteNeverMatchesPartOfACharacter)
{
    const std::string e = "\xC3\xA9"; // é
    for (const char* pattern : {"\xC3*", "*\xC3*", "*\xC3", "\xC3", "\xC3?", "?\xA9", "*\xC3?*", "*\xA9"})
        EXPECT_FALSE(NamePattern(pattern).matches(e)) << "pattern bytes " << ::testing::PrintToString(std::string(pattern));
    EXPECT_FALSE(NamePattern("\xC3*").matches(e + "x"));
    // The same byte standing alone in the name is a character of its own.
    EXPECT_TRUE(NamePattern("\xC3*").matches("\xC3x"));
    EXPECT_TRUE(NamePattern("*\xC3*").matches("a\xC3" "b"));
    EXPECT_TRUE(NamePattern("\xC3?").matches("\xC3" "b"));
    EXPECT_TRUE(NamePattern("\xC3?").matches("\xC3\xC3"));
}
