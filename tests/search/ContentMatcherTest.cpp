// The content match: line rules, list order, long lines and piece boundaries.
#include "search/ContentMatcher.h"
#include "search/StopRequest.h"
#include "tests/support/ContentMatch.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/RecordingSink.h"

#include <gtest/gtest.h>

#include <random>

using namespace qv;
using namespace qv::test;

TEST(ContentMatcher, EmptyFileNeverMatchesAndEmptyStringMatchesAnyByte)
{
    EXPECT_EQ(matchIn("", {""}), kNone);
    EXPECT_EQ(matchIn("x", {""}), found(""));
    EXPECT_EQ(matchIn("\n", {""}), found(""));
}

TEST(ContentMatcher, CaseIsIgnoredIncludingFullWidthLetters)
{
    EXPECT_EQ(matchIn("Hello WORLD\n", {"world"}), found("world"));
    EXPECT_EQ(matchIn("ＡＢＣ", {"ａｂｃ"}), found("ａｂｃ"));
    EXPECT_EQ(matchIn("報告書", {"報告"}), found("報告"));
    EXPECT_EQ(matchIn("報告書", {"報道"}), kNone);
    // Only as much of the text is folded as the strings need: none for kana and kanji,
    // ASCII letters for those beside them, everything for other letters.
    EXPECT_EQ(matchIn("見積書Ａ No.1", {"見積書ａ"}), found("見積書ａ"));
    EXPECT_EQ(matchIn("見積書A No.1", {"見積書a"}), found("見積書a"));
    EXPECT_EQ(matchIn("見積書Ａ No.1", {"見積書a"}), kNone) << "a full-width letter is no ASCII letter";
    EXPECT_EQ(matchIn("CAFÉ 見積", {"café"}), found("café"));
    EXPECT_EQ(matchIn("CAFÉ 見積", {"café", "見積書"}), found("café")) << "the strings together decide the folding";
    EXPECT_EQ(matchIn("ＮＯ.１ 見積", {"報告", "ｎｏ.１"}), found("ｎｏ.１"));
}

TEST(ContentMatcher, FirstLineHoldingAnyStringDecidesThenListOrder)
{
    EXPECT_EQ(matchIn("only DEF here\n", {"abc", "def"}), found("def"));
    EXPECT_EQ(matchIn("def and abc\n", {"abc", "def"}), found("abc"));
    EXPECT_EQ(matchIn("def first\nabc later\n", {"abc", "def"}), found("def"));
    // Blanks belong to the string.
    EXPECT_EQ(matchIn("xdef\n", {"abc", " def"}), kNone);
    EXPECT_EQ(matchIn("x def\n", {"abc", " def"}), found(" def"));
    // An empty string occurs in the first line, but an earlier string there wins.
    EXPECT_EQ(matchIn("zz abc\nmore", {"abc", ""}), found("abc"));
    EXPECT_EQ(matchIn("zz\nabc", {"abc", ""}), found(""));
}

TEST(ContentMatcher, StringsNeverSpanALineEnd)
{
    EXPECT_EQ(matchIn("ab\ncd", {"abcd"}), kNone);
    EXPECT_EQ(matchIn("ab\r\ncd", {"b\r\nc"}), kNone);
    EXPECT_EQ(matchIn("ab\rcd", {"bc"}), kNone);
}

// The old line reader dropped the byte after every carriage return.
TEST(ContentMatcher, LoneCarriageReturnEatsNothing)
{
    EXPECT_EQ(matchIn("first\rsecond\rthird", {"second"}), found("second"));
    EXPECT_EQ(matchIn("a\rXyz", {"xyz"}), found("xyz"));
    EXPECT_EQ(matchIn("a\r\nXyz", {"xyz"}), found("xyz"));
}

// The old line reader cut long lines into pieces of 999 bytes and missed strings across the cuts.
TEST(ContentMatcher, StringAcrossByte999OfALongLineIsFound)
{
    std::string line(2000, 'x');
    line.replace(997, 6, "NeEdLe");
    EXPECT_EQ(matchIn(line, {"needle"}), found("needle"));
    // Longer than a read piece of the matcher itself.
    std::string huge(3 * ContentMatcher::kChunkSize + 11, 'y');
    huge.replace(ContentMatcher::kChunkSize - 3, 6, "needle");
    EXPECT_EQ(matchIn(huge, {"needle"}, {4096, 1 << 20}), found("needle"));
}

TEST(ContentMatcher, EarlierStringLaterInAVeryLongLineStillWins)
{
    std::string line = "def" + std::string(2 * ContentMatcher::kChunkSize, 'z') + "abc\nabc";
    EXPECT_EQ(matchIn(line, {"abc", "def"}, {4096, 1 << 20}), found("abc"));
    std::string ended = "def" + std::string(2 * ContentMatcher::kChunkSize, 'z') + "\nabc";
    EXPECT_EQ(matchIn(ended, {"abc", "def"}, {4096, 1 << 20}), found("def"));
}

// The old line reader stopped looking at a line at its first zero byte.
TEST(ContentMatcher, BytesAfterAZeroByteAreExamined)
{
    EXPECT_EQ(matchIn(std::string("\x89PNG\0\0\0 secret", 15), {"secret"}), found("secret"));
}

TEST(ContentMatcher, CharacterCutBetweenTwoPiecesStillFolds)
{
    // Full-width letters are three bytes: pieces of 1, 3 and 7 bytes cut them.
    EXPECT_EQ(matchIn("xＡＢＣy", {"ａｂｃ"}), found("ａｂｃ"));
}

TEST(ContentMatcher, UnreadableFileDoesNotMatch)
{
    MemoryFileSystem files;
    FileEntry entry;
    entry.name = "bad";
    files.addFile("\\\\H\\s", entry, std::string(100000, 'a') + "needle");
    files.failingReads.insert("\\\\H\\s\\bad");
    files.readPiece = 4096;
    RecordingSink sink;
    StopRequest stop;
    ContentMatcher matcher(files, sink, stop);
    matcher.setStrings({"needle"});
    std::string text;
    EXPECT_FALSE(matcher.match("\\\\H\\s\\bad", text));
    EXPECT_FALSE(matcher.match("\\\\H\\s\\missing", text));
    EXPECT_EQ(files.openReaders.load(), 0);
    ASSERT_EQ(sink.statuses.size(), 2u);
    EXPECT_EQ(sink.statuses[0], "ファイルを調べる\\\\H\\s\\bad ...");
}

TEST(ContentMatcher, StopRequestEndsALongFile)
{
    MemoryFileSystem files;
    FileEntry entry;
    entry.name = "big";
    files.addFile("\\\\H\\s", entry, std::string(10 * ContentMatcher::kChunkSize, 'a') + "needle");
    RecordingSink sink;
    StopRequest stop;
    stop.request();
    ContentMatcher matcher(files, sink, stop);
    matcher.setStrings({"needle"});
    std::string text;
    EXPECT_FALSE(matcher.match("\\\\H\\s\\big", text));
}

// The bytes kept across a read boundary held the end of the line before, so the
// pending line seemed to end at once and a later string of the list was reported.
TEST(ContentMatcher, LineStartingJustBeforeAReadBoundaryIsSearchedToItsEnd)
{
    const std::string file = std::string(65534, 'z') + "\nb" + "zzzz a1234567890\n";
    EXPECT_EQ(matchIn(file, {"a1234567890", "b"}, {1 << 20}), found("a1234567890"));
    EXPECT_EQ(matchIn(file, {"b", "a1234567890"}, {1 << 20}), found("b"));
}

namespace {

// The line rules, applied to the whole file at once.
Outcome referenceMatch(const std::string& file, const std::vector<std::string>& strings)
{
    std::size_t start = 0;
    while (start < file.size()) {
        std::size_t end = file.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = file.size();
        std::string line = file.substr(start, end - start);
        for (char& c : line)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (const std::string& s : strings)
            if (s.find_first_of("\r\n") == std::string::npos && line.find(s) != std::string::npos)
                return found(s);
        start = end + (file.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return kNone;
}

} // namespace

// Files of a few letters and line ends, with lines and strings placed around the
// read boundary: every answer must be the one reading the whole file gives.
TEST(ContentMatcher, AgreesWithAWholeFileReadingAcrossReadBoundaries)
{
    std::mt19937 rng(20261210);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const std::string letters = "abzZ \n\r";
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> strings;
        for (int i = 0, n = 1 + pick(3); i < n; ++i) {
            std::string s;
            for (int j = 0, len = 1 + pick(12); j < len; ++j)
                s += "abz "[pick(4)];
            strings.push_back(s);
        }
        // Mostly filler, with a burst of short lines and the strings near 64 KiB.
        std::string file(ContentMatcher::kChunkSize - 40 + static_cast<std::size_t>(pick(80)), 'z');
        for (int i = 0, n = pick(6); i < n; ++i)
            file[file.size() - 1 - static_cast<std::size_t>(pick(40))] = "\n\r"[pick(2)];
        for (int i = 0, n = 20 + pick(60); i < n; ++i)
            file += letters[static_cast<std::size_t>(pick(static_cast<int>(letters.size())))];
        for (const std::string& s : strings)
            if (pick(2) == 0)
                file.insert(file.size() - static_cast<std::size_t>(pick(60)), s);
        const std::size_t piece = 1 + static_cast<std::size_t>(pick(70000));
        ASSERT_EQ(matchIn(file, strings, {piece}), referenceMatch(file, strings))
            << "round " << round << ", pieces of " << piece;
    }
}
