// The content match, which reads a file in blocks whatever its reader returns, against
// a reading of the whole file at once: its encoding decided on the same bytes (a mark
// or UTF-16 at the start, else the sample from the first byte above 7F), the whole
// text decoded in one go, lower-cased, cut into lines at LF, CR LF and a lone CR, and
// the first line holding any string giving the first string of the list it holds.
// The file's reader returns pieces of random sizes, and a run of filler can put the
// fuzzed bytes across the 64 KiB block boundaries.
#include "fuzz/FuzzCheck.h"
#include "platform/CaseFold.h"
#include "platform/FileSystem.h"
#include "platform/Utf8.h"
#include "results/SearchSink.h"
#include "search/ContentMatcher.h"
#include "search/EncodingDetector.h"
#include "search/IconvDecoder.h"
#include "search/StopRequest.h"

#include <cerrno>
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace qv;
using qv::fuzz::shown;

namespace {

constexpr std::size_t kBlock = DecodedText::kBlockSize;

// One file whose reads return between 1 and `largest` bytes, drawn from a seed.
class PieceReader final : public FileReader {
public:
    PieceReader(const std::string& content, std::uint32_t seed, std::size_t largest)
        : m_content(content), m_random(seed), m_largest(largest)
    {
    }
    std::int64_t read(char* buffer, std::size_t capacity) override
    {
        const std::size_t left = m_content.size() - m_pos;
        const std::size_t piece = std::uniform_int_distribution<std::size_t>(1, m_largest)(m_random);
        const std::size_t n = std::min({capacity, left, piece});
        std::memcpy(buffer, m_content.data() + m_pos, n);
        m_pos += n;
        return static_cast<std::int64_t>(n);
    }

private:
    const std::string& m_content;
    std::size_t m_pos = 0;
    std::mt19937 m_random;
    std::size_t m_largest;
};

class OneFile final : public FileSystem {
public:
    OneFile(const std::string& content, std::uint32_t seed, std::size_t largest)
        : m_content(content), m_seed(seed), m_largest(largest)
    {
    }
    using FileSystem::list;
    std::unique_ptr<FolderListing> list(const std::string&, int& error) override
    {
        error = ENOTDIR;
        return nullptr;
    }
    std::unique_ptr<FileReader> openForReading(const std::string&) override
    {
        return std::make_unique<PieceReader>(m_content, m_seed, m_largest);
    }
    char separator() const override { return '\\'; }

private:
    const std::string& m_content;
    std::uint32_t m_seed;
    std::size_t m_largest;
};

class NoSink final : public SearchSink {
public:
    void addRow(ResultRow) override {}
    void showStatus(const std::string&) override {}
    void placeFailed(const PlaceFailure&) override {}
};

struct Outcome {
    bool found = false;
    std::string text;
    bool operator==(const Outcome&) const = default;
};

std::string describe(const Outcome& o) { return o.found ? "found «" + shown(o.text) + "»" : "not found"; }

// The whole file's text in UTF-8, as the content match reads it.
std::string wholeText(const std::string& file, TextEncoding* decided = nullptr)
{
    std::string_view text = file;
    TextEncoding encoding = TextEncoding::Utf8;
    if (const auto start = EncodingDetector::fromStartOfFile(text.substr(0, kBlock))) {
        encoding = start->encoding;
        text.remove_prefix(start->bomLength);
    } else {
        const auto high = std::find_if(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        if (high != text.end())
            encoding = EncodingDetector::fromText(text.substr(static_cast<std::size_t>(high - text.begin()),
                                                              EncodingDetector::kSampleSize));
    }
    if (decided)
        *decided = encoding;
    if (encoding == TextEncoding::Utf8)
        return std::string(text);
    IconvDecoder decoder;
    decoder.start(encoding);
    std::string out(IconvDecoder::maxOutput(text.size()), '\0');
    std::size_t consumed = 0;
    out.resize(decoder.decode(text.data(), text.size(), true, out.data(), consumed));
    return out;
}

// The first line holding any string is the earliest of the lines holding each string's
// first occurrence (a string without line ends never spans two lines); on a tie the
// string first in the list wins.
Outcome referenceMatch(const std::string& file, const std::vector<std::string>& strings)
{
    const std::string text = CaseFold::toLower(wholeText(file));
    if (text.empty())
        return {};
    std::size_t bestLine = std::string::npos;
    Outcome best;
    for (const std::string& s : strings) {
        if (s.find_first_of("\r\n") != std::string::npos)
            continue;
        const std::size_t at = text.find(s);
        if (at == std::string::npos)
            continue;
        const std::size_t lineEnd = at == 0 ? std::string::npos : text.find_last_of("\r\n", at - 1);
        const std::size_t line = lineEnd == std::string::npos ? 0 : lineEnd + 1;
        if (bestLine == std::string::npos || line < bestLine) {
            bestLine = line;
            best = {true, s};
        }
    }
    return best;
}

} // namespace

// Input: the strings, the reads' seed and size, the filler, then the file's own bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    // The strings are text, as the form gives them: a string of invalid bytes has no
    // characters to fold, and would match inside the bytes of a folded character.
    std::vector<std::string> strings;
    for (int i = 0, n = input.ConsumeIntegralInRange(1, 4); i < n; ++i)
        strings.push_back(CaseFold::toLower(Utf8::sanitized(input.ConsumeRandomLengthString(24))));
    const auto seed = input.ConsumeIntegral<std::uint32_t>();
    static constexpr std::size_t kLargestReads[] = {1, 7, 4096, kBlock - 1, kBlock + 1, 1 << 20};
    const std::size_t largest = kLargestReads[input.ConsumeIntegralInRange<std::size_t>(0, 5)];
    // Filler up to a block boundary less a few bytes, so the bytes after it straddle it.
    // Most inputs stay small: a long file costs a hundred short ones.
    static constexpr std::size_t kBlocks[] = {0, 0, 0, 0, 1, 2};
    const std::size_t blocks = kBlocks[input.ConsumeIntegralInRange<std::size_t>(0, 5)];
    const auto back = input.ConsumeIntegralInRange<std::size_t>(0, 300);
    static constexpr char kFiller[] = {'z', ' ', '\n', '\r', 'A'};
    const char filler = kFiller[input.ConsumeIntegralInRange<std::size_t>(0, sizeof kFiller - 1)];
    std::string file(blocks * kBlock > back ? blocks * kBlock - back : 0, filler);
    file += input.ConsumeRemainingBytesAsString();

    OneFile files(file, seed, largest);
    NoSink sink;
    StopRequest stop;
    ContentMatcher matcher(files, sink, stop);
    matcher.setStrings(strings);
    Outcome got;
    got.text = "untouched";
    got.found = matcher.match("\\\\H\\s\\f.txt", got.text);
    if (!got.found) {
        QV_FUZZ_CHECK(got.text == "untouched", "a failed match changed the match text");
        got.text.clear();
    }
    const Outcome expected = referenceMatch(file, strings);
    if (!(got == expected)) {
        std::string details = "strings:";
        for (const std::string& s : strings)
            details += " «" + shown(s) + "»";
        details += "\nfile of " + std::to_string(file.size()) + " bytes, " + std::to_string(file.size() - (blocks * kBlock > back ? blocks * kBlock - back : 0))
            + " after the filler: «" + shown(std::string_view(file).substr(file.size() > 400 ? file.size() - 400 : 0)) + "» (last 400)"
            + "\nreads up to " + std::to_string(largest) + " bytes, seed " + std::to_string(seed)
            + "\nmatcher: " + describe(got) + ", whole file: " + describe(expected);
        TextEncoding encoding = TextEncoding::Utf8;
        const std::string text = wholeText(file, &encoding);
        details += std::string("\nwhole file read as ") + iconvName(encoding) + ": «"
            + shown(std::string_view(text).substr(0, 400)) + "»; the matcher read it as "
            + (matcher.lastEncoding() ? iconvName(*matcher.lastEncoding()) : "nothing");
        qv::fuzz::fail("the content match agrees with a reading of the whole file", details);
    }
    return 0;
}
