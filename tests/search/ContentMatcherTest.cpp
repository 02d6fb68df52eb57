// The content match: line rules, list order, long lines and piece boundaries.
#include "search/ContentMatcher.h"
#include "search/StopRequest.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/RecordingSink.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

struct Outcome {
    bool found;
    std::string text;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o)
{
    return os << (o.found ? "found «" + o.text + "»" : std::string("not found"));
}

// Runs the match over the content read in pieces of every size given: a result
// that depends on where the pieces end is a fault.
Outcome matchIn(const std::string& content, const std::vector<std::string>& strings,
                std::vector<std::size_t> pieces = {1, 3, 7, 4096, 1 << 20})
{
    std::optional<Outcome> agreed;
    for (std::size_t piece : pieces) {
        MemoryFileSystem files;
        FileEntry entry;
        entry.name = "f.txt";
        files.addFile("\\\\H\\s", entry, content);
        files.readPiece = piece;
        RecordingSink sink;
        StopRequest stop;
        ContentMatcher matcher(files, sink, stop);
        matcher.setStrings(strings);
        std::string text = "untouched";
        const bool found = matcher.match("\\\\H\\s\\f.txt", text);
        const Outcome outcome{found, found ? text : std::string()};
        if (!found) {
            EXPECT_EQ(text, "untouched") << "a failed match must leave the match text alone";
        }
        EXPECT_EQ(files.openReaders.load(), 0) << "file left open";
        if (agreed) {
            EXPECT_EQ(outcome, *agreed) << "pieces of " << piece << " bytes disagree";
        } else {
            agreed = outcome;
        }
    }
    return *agreed;
}

const Outcome kNone{false, ""};
Outcome found(const std::string& s) { return {true, s}; }

} // namespace

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
