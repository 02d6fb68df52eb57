// Content in UTF-8, CP932, EUC-JP and UTF-16: how a file's encoding is decided,
// that a string is found only as whole characters, and that bad bytes harm nothing.
#include "platform/FileReader.h"
#include "platform/CaseFold.h"
#include "search/EncodingDetector.h"
#include "tests/support/ContentMatch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <iconv.h>

using namespace qv;
using namespace qv::test;

namespace {

std::string encode(const std::string& utf8, const char* encoding)
{
    iconv_t cd = iconv_open(encoding, "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << encoding;
    std::string out(utf8.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    EXPECT_NE(r, static_cast<std::size_t>(-1)) << "not representable in " << encoding << ": " << utf8;
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

const std::string kUtf8Bom = "\xEF\xBB\xBF";
const std::string kLeBom = "\xFF\xFE";
const std::string kBeBom = "\xFE\xFF";

struct Encoded {
    const char* label;
    std::string bytes;
    TextEncoding expected;
};

// The text in every form a Japanese office's files take.
std::vector<Encoded> everyEncoding(const std::string& text)
{
    return {
        {"UTF-8", text, TextEncoding::Utf8},
        {"UTF-8 with BOM", kUtf8Bom + text, TextEncoding::Utf8},
        {"CP932", encode(text, "CP932"), TextEncoding::Cp932},
        {"EUC-JP", encode(text, "EUC-JP"), TextEncoding::EucJp},
        {"UTF-16LE with BOM", kLeBom + encode(text, "UTF-16LE"), TextEncoding::Utf16Le},
        {"UTF-16BE with BOM", kBeBom + encode(text, "UTF-16BE"), TextEncoding::Utf16Be},
    };
}

std::optional<TextEncoding> decided(const std::string& block, bool endsFile = true)
{
    const auto decision = EncodingDetector::decide(block, true, endsFile);
    return decision ? std::optional<TextEncoding>(decision->encoding) : std::nullopt;
}

} // namespace

TEST(Encoding, SameTextIsFoundInEveryEncodingAndWithEveryLineEnd)
{
    for (const char* lineEnd : {"\n", "\r\n", "\r"}) {
        const std::string text = std::string("第１版 Budget Report") + lineEnd + "見積書を検索します。" + lineEnd +
                                 "ﾃﾞｰﾀ ＡＢＣ 東京" + lineEnd;
        for (const Encoded& e : everyEncoding(text)) {
            SCOPED_TRACE(std::string(e.label) + ", line end " + (lineEnd[0] == '\r' ? lineEnd[1] ? "CR LF" : "CR" : "LF"));
            std::optional<TextEncoding> encoding;
            EXPECT_EQ(matchIn(e.bytes, {"見積書"}, {1, 7, 1 << 20}, &encoding), found("見積書"));
            EXPECT_EQ(encoding, e.expected);
            EXPECT_EQ(matchIn(e.bytes, {"report"}), found("report")) << "ASCII strings are looked for without decoding";
            EXPECT_EQ(matchIn(e.bytes, {"ﾃﾞｰﾀ"}), found("ﾃﾞｰﾀ"));
            EXPECT_EQ(matchIn(e.bytes, {"ａｂｃ"}), found("ａｂｃ")) << "full-width letters fold";
            // The first line holding any string decides; within it, list order.
            EXPECT_EQ(matchIn(e.bytes, {"東京", "見積書", "budget"}), found("budget"));
            EXPECT_EQ(matchIn(e.bytes, {"東京", "検索", "ａｂｃ"}), found("検索"));
            EXPECT_EQ(matchIn(e.bytes, {"report見積書"}), kNone) << "strings never span a line end";
            EXPECT_EQ(matchIn(e.bytes, {"報告"}), kNone);
        }
    }
}

TEST(Encoding, Utf16WithoutMarkIsReadWhenHalfItsBytesAreZero)
{
    const std::string text = "Hello World, 見積書 2024\r\nsecond line\r\n";
    std::optional<TextEncoding> encoding;
    EXPECT_EQ(matchIn(encode(text, "UTF-16LE"), {"world"}, {1 << 20}, &encoding), found("world"));
    EXPECT_EQ(encoding, TextEncoding::Utf16Le);
    EXPECT_EQ(matchIn(encode(text, "UTF-16BE"), {"見積書"}, {1 << 20}, &encoding), found("見積書"));
    EXPECT_EQ(encoding, TextEncoding::Utf16Be);
    // Japanese with hardly any ASCII leaves too few zeros to tell: without a mark it
    // is not UTF-16.
    EXPECT_NE(decided(encode("見積書を検索します。会議の資料です。", "UTF-16LE")), TextEncoding::Utf16Le);
}

// Bytes inside a double-byte character never count as ASCII or as parts of other
// characters: the plain byte search found "@" in ァ (83 40) and "m" in 確 (8A 6D).
TEST(Encoding, StringsAreFoundOnlyAsWholeCharacters)
{
    const std::string cp932Trap = encode("ァ確 見積", "CP932");
    for (const std::vector<std::string>& strings : {std::vector<std::string>{"@"}, {"m"}, {"@", "表"}, {"m", "表"}}) {
        SCOPED_TRACE(strings.size() == 1 ? "ASCII strings" : "with a Japanese string");
        EXPECT_EQ(matchIn(cp932Trap + "\n", strings), kNone);
        EXPECT_EQ(matchIn(cp932Trap + strings[0] + "\n", strings), found(strings[0]));
    }
    // 81 95 5C is ＆ then "\"; 95 5C alone would be 表.
    EXPECT_EQ(matchIn(encode("＆\\ 会議", "CP932"), {"表"}), kNone);
    EXPECT_EQ(matchIn(encode("＆\\ 表", "CP932"), {"表"}), found("表"));
    // 亜あ is B0 A1 A4 A2 in EUC-JP, and A1 A4 is the full-width comma.
    EXPECT_EQ(matchIn(encode("亜あ 会議", "EUC-JP"), {"，"}), kNone);
    EXPECT_EQ(matchIn(encode("亜，会議", "EUC-JP"), {"，"}), found("，"));
    // U+4100 then U+2000 is 00 41 00 20 in UTF-16LE: an "A" out of step.
    const std::string utf16Trap = kLeBom + encode("\u4100\u2000 見積", "UTF-16LE");
    EXPECT_EQ(matchIn(utf16Trap, {"a"}), kNone);
    EXPECT_EQ(matchIn(utf16Trap, {"a", "見"}), found("見"));
    // 上 is U+4E0A, a 0A byte in UTF-16: no line end inside it.
    EXPECT_EQ(matchIn(kLeBom + encode("def 上 abc\n", "UTF-16LE"), {"abc", "def"}), found("abc"));
}

TEST(Encoding, CharacterAcrossTheReadBoundaryIsWhole)
{
    // The first block is ASCII only, so the encoding is decided on the second, which
    // begins inside a character for every length but one.
    for (std::size_t pad = 1; pad <= 3; ++pad) {
        const std::string head(ContentMatcher::kChunkSize - pad, 'x');
        for (const char* encoding : {"UTF-8", "CP932", "EUC-JP"}) {
            SCOPED_TRACE(std::string(encoding) + ", " + std::to_string(pad) + " bytes before the boundary");
            const std::string file = head + encode("見積書 Total", encoding);
            EXPECT_EQ(matchIn(file, {"見積書"}, {4096, 1 << 20}), found("見積書"));
            EXPECT_EQ(matchIn(file, {"total"}, {4096, 1 << 20}), found("total"));
        }
        const std::string utf16 = kLeBom + encode(std::string(ContentMatcher::kChunkSize / 2 - pad, 'x') + "見積書", "UTF-16LE");
        EXPECT_EQ(matchIn(utf16, {"見積書"}, {1 << 20}), found("見積書"));
    }
    // A CP932 trail that looks like "@" just after the boundary, its lead just before.
    const std::string cp932 = encode("見", "CP932") + std::string(ContentMatcher::kChunkSize - 3, 'x') + encode("ァ", "CP932");
    EXPECT_EQ(matchIn(cp932, {"@"}, {1 << 20}), kNone);
}

// ASCII strings are first looked for in the raw bytes, and the encoding is settled
// when one turns up: the answer must be the one of the settled encoding, also for a
// line that a window before the first non-ASCII byte left pending.
TEST(Encoding, FalseHitInATrailIsRejectedWhenTheLineBeganWindowsEarlier)
{
    const std::string file = "def " + std::string(70000, 'x') + encode("ァ abc", "CP932") + "\nnext";
    EXPECT_EQ(matchIn(file, {"@", "def"}, {1 << 20}), found("def"));
    EXPECT_EQ(matchIn(file, {"@", "abc", "def"}, {1 << 20}), found("abc"));
    EXPECT_EQ(matchIn(file, {"@"}, {1 << 20}), kNone);
    EXPECT_EQ(matchIn(file + encode(" x@y", "CP932"), {"@"}, {1 << 20}), found("@")) << "the @ after the line end is real";
}

TEST(Encoding, DecisionFollowsMarkThenValidityThenTheCloserReading)
{
    EXPECT_EQ(decided(kUtf8Bom), TextEncoding::Utf8);
    EXPECT_EQ(decided(kLeBom + "a"), TextEncoding::Utf16Le);
    EXPECT_EQ(decided(kBeBom), TextEncoding::Utf16Be);
    EXPECT_EQ(decided("plain ascii", false), std::nullopt) << "ASCII so far tells nothing";
    EXPECT_EQ(decided("plain ascii", true), TextEncoding::Utf8);
    EXPECT_EQ(decided("見積書"), TextEncoding::Utf8);
    EXPECT_EQ(decided(encode("見積書を検索します", "CP932")), TextEncoding::Cp932);
    EXPECT_EQ(decided(encode("見積書を検索します", "EUC-JP")), TextEncoding::EucJp);
    // Valid as both: EUC-JP, unless every byte is a half-width katakana of CP932.
    const std::string both = encode("会議", "EUC-JP");
    ASSERT_EQ(EncodingDetector::invalidBytes(both, TextEncoding::Cp932), 0u);
    EXPECT_EQ(decided(both), TextEncoding::EucJp);
    EXPECT_EQ(decided(encode("ｻﾝﾌﾟﾙﾃﾞｰﾀ", "CP932")), TextEncoding::Cp932);
    // A damaged byte in long UTF-8 text, and UTF-8 cut off inside its last character.
    std::string damaged = "見積書を検索します。会議の資料です。";
    damaged[10] = '\xFF';
    EXPECT_EQ(decided(damaged), TextEncoding::Utf8);
    const std::string cut = std::string("見積書を検索します。会議の資料です。").substr(0, 26);
    EXPECT_EQ(decided(cut, false), TextEncoding::Utf8) << "a character cut by the block's end is no fault";
    // Binary: far from every encoding, searched as its bytes.
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 2654435761u) >> 24);
    EXPECT_EQ(decided(binary), TextEncoding::Utf8);
}

TEST(Encoding, DecisionWaitsForTheFirstBlockThatIsNotAscii)
{
    const std::string head(3 * ContentMatcher::kChunkSize + 5, 'a');
    std::optional<TextEncoding> encoding;
    EXPECT_EQ(matchIn(head + "\n" + encode("見積書", "CP932"), {"見積書"}, {1 << 20}, &encoding), found("見積書"));
    EXPECT_EQ(encoding, TextEncoding::Cp932);
    EXPECT_EQ(matchIn(head + "\n" + encode("見積書", "EUC-JP"), {"見積書"}, {1 << 20}, &encoding), found("見積書"));
    EXPECT_EQ(encoding, TextEncoding::EucJp);
}

TEST(Encoding, BadBytesNeitherCrashNorMatchFalsely)
{
    const std::string sjis = encode("見積書", "CP932");
    // Cut off inside the last character, in every encoding.
    EXPECT_EQ(matchIn(sjis + "\x83", {"見積書"}), found("見積書"));
    EXPECT_EQ(matchIn(sjis + "\x83", {"@"}), kNone);
    EXPECT_EQ(matchIn(sjis + "\xFF", {"見積書"}), found("見積書")) << "one bad byte in a short file";
    EXPECT_EQ(matchIn(encode("見積書", "EUC-JP") + "\xB8", {"見積書"}), found("見積書"));
    EXPECT_EQ(matchIn(std::string("見積書") + "\xE6\x9B", {"見積書"}), found("見積書"));
    // A mark alone is an empty text.
    EXPECT_EQ(matchIn(kUtf8Bom, {""}), kNone);
    EXPECT_EQ(matchIn(kLeBom, {""}), kNone);
    // UTF-16 of an odd length, and a lone surrogate in the middle.
    const std::string utf16 = kLeBom + encode("abc 見積書", "UTF-16LE");
    EXPECT_EQ(matchIn(utf16 + "x", {"見積書"}), found("見積書"));
    const std::string loneSurrogate = kLeBom + encode("ab", "UTF-16LE") + std::string("\x00\xD8", 2) + encode("cd", "UTF-16LE");
    EXPECT_EQ(matchIn(loneSurrogate, {"bcd"}), kNone);
    EXPECT_EQ(matchIn(loneSurrogate, {"bcd", "見"}), kNone);
    EXPECT_EQ(matchIn(loneSurrogate, {"cd"}), found("cd"));
    EXPECT_EQ(matchIn(loneSurrogate, {"cd", "見"}), found("cd"));
    // Invalid and unassigned bytes in the middle stay in CP932 and lend no byte to
    // their neighbours (85 40 is unassigned; FF starts nothing).
    const std::string damaged = encode("会議の資料", "CP932") + "\xFF\x85\x40" + encode("見積書 Total", "CP932");
    std::optional<TextEncoding> encoding;
    EXPECT_EQ(matchIn(damaged, {"見積書"}, {1, 1 << 20}, &encoding), found("見積書"));
    EXPECT_EQ(encoding, TextEncoding::Cp932);
    EXPECT_EQ(matchIn(damaged, {"@"}), kNone);
    EXPECT_EQ(matchIn(damaged, {"@", "見"}), found("見"));
    // Mostly zeros: a binary file is no UTF-16, and its ASCII is found as bytes.
    std::string zeros(8192, '\0');
    zeros.replace(5000, 6, "secret");
    EXPECT_EQ(matchIn(zeros, {"secret"}), found("secret"));
}

namespace {

// A file of one line of any length, made as it is read.
class LongLineReader final : public FileReader {
public:
    LongLineReader(std::int64_t size, std::string tail) : m_left(size), m_tail(std::move(tail)) {}
    std::int64_t read(char* buffer, std::size_t capacity) override
    {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(m_left, static_cast<std::int64_t>(capacity)));
        std::memset(buffer, 'x', n);
        // The tail takes the last bytes of the file; this piece may hold some of them.
        const std::int64_t tailSize = static_cast<std::int64_t>(m_tail.size());
        const std::int64_t pieceEnd = m_left - static_cast<std::int64_t>(n); // bytes after this piece
        if (pieceEnd < tailSize) {
            const std::int64_t fromTail = std::max<std::int64_t>(0, tailSize - m_left);
            const std::int64_t toTail = tailSize - pieceEnd;
            const std::size_t at = static_cast<std::size_t>(n - static_cast<std::size_t>(toTail - fromTail));
            std::memcpy(buffer + at, m_tail.data() + fromTail, static_cast<std::size_t>(toTail - fromTail));
        }
        m_left -= static_cast<std::int64_t>(n);
        return static_cast<std::int64_t>(n);
    }

private:
    std::int64_t m_left;
    std::string m_tail;
};

class LongLineFiles final : public FileSystem {
public:
    LongLineFiles(std::int64_t size, std::string tail) : m_size(size), m_tail(std::move(tail)) {}
    std::unique_ptr<FolderListing> list(const std::string&, int& error) override
    {
        error = ENOENT;
        return nullptr;
    }
    std::unique_ptr<FileReader> openForReading(const std::string&) override
    {
        return std::make_unique<LongLineReader>(m_size, m_tail);
    }
    char separator() const override { return '/'; }

private:
    std::int64_t m_size;
    std::string m_tail;
};

} // namespace

// A single line past 2 GiB, its end in CP932: the window never grows with the line,
// and offsets past 2^31 do not wrap. (Strings without letters: nothing is folded, so
// the sanitizer builds read the 2 GiB in seconds.)
TEST(Encoding, LineOfTwoGigabytesIsSearchedToItsEnd)
{
    const std::int64_t size = (std::int64_t{1} << 31) + 7;
    const std::string tail = encode("ァ 見積書 No.12345", "CP932");
    LongLineFiles files(size, tail);
    RecordingSink sink;
    StopRequest stop;
    ContentMatcher matcher(files, sink, stop);
    matcher.setStrings({"@", "12345"});
    std::string text;
    ASSERT_TRUE(matcher.match("/big", text));
    EXPECT_EQ(text, "12345") << "the @ of ァ is no @";
    EXPECT_EQ(matcher.lastEncoding(), TextEncoding::Cp932);
}
