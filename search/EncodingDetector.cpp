#include "search/EncodingDetector.h"

#include "platform/CaseFold.h"
#include "search/CharLayout.h"
#include "platform/Utf8.h"

#include <cstring>

namespace qv::EncodingDetector {
namespace {

const unsigned char* bytesOf(std::string_view block) { return reinterpret_cast<const unsigned char*>(block.data()); }

std::optional<Decision> byteOrderMark(std::string_view block)
{
    if (block.starts_with("\xEF\xBB\xBF"))
        return Decision{TextEncoding::Utf8, 3};
    if (block.starts_with("\xFF\xFE"))
        return Decision{TextEncoding::Utf16Le, 2};
    if (block.starts_with("\xFE\xFF"))
        return Decision{TextEncoding::Utf16Be, 2};
    return std::nullopt;
}

// Text in UTF-16 without a mark: ASCII characters give a zero in one half of the
// bytes, and a zero in the other half would be a NUL character, which text lacks.
std::optional<TextEncoding> utf16WithoutMark(std::string_view block)
{
    const std::size_t units = std::min<std::size_t>(block.size(), 4096) / 2;
    if (units < 2 || !std::memchr(block.data(), 0, 2 * units))
        return std::nullopt;
    const unsigned char* p = bytesOf(block);
    std::size_t zeroEven = 0;
    std::size_t zeroOdd = 0;
    for (std::size_t i = 0; i < units; ++i) {
        zeroEven += p[2 * i] == 0;
        zeroOdd += p[2 * i + 1] == 0;
    }
    const auto most = [units](std::size_t zeros) { return zeros * 2 > units; };
    const auto hardlyAny = [units](std::size_t zeros) { return zeros * 16 <= units; };
    if (most(zeroOdd) && hardlyAny(zeroEven))
        return TextEncoding::Utf16Le;
    if (most(zeroEven) && hardlyAny(zeroOdd))
        return TextEncoding::Utf16Be;
    return std::nullopt;
}

std::size_t firstNonAscii(std::string_view block) { return CharLayout::asciiPrefix(block.data(), block.size()); }

std::size_t countNonAscii(std::string_view block)
{
    std::size_t n = 0;
    for (const char c : block)
        n += static_cast<unsigned char>(c) >= 0x80;
    return n;
}

template <typename Layout>
std::size_t invalidMultibyte(std::string_view block, Layout layout)
{
    const unsigned char* p = bytesOf(block);
    std::size_t invalid = 0;
    for (std::size_t i = 0; i < block.size();) {
        i += CharLayout::asciiPrefix(block.data() + i, block.size() - i);
        if (i == block.size())
            break;
        const CharLayout::Span span = layout(p + i, block.size() - i);
        if (span.length == 0)
            break;
        invalid += !span.valid;
        i += span.length;
    }
    return invalid;
}

struct Utf8Count {
    std::size_t invalid = 0;
    std::size_t multibyte = 0; // valid sequences of two bytes or more
};

Utf8Count countUtf8(std::string_view block)
{
    const std::size_t end = block.size() - CaseFold::incompleteTail(block.data(), block.size());
    const std::string_view text = block.substr(0, end);
    Utf8Count count;
    const unsigned char* p = bytesOf(text);
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        i += CharLayout::asciiPrefix(text.data() + i, size - i);
        if (i == size)
            break;
        const std::size_t length = Utf8::validSequenceLength(p + i, size - i);
        if (length == 0)
            ++count.invalid;
        else
            ++count.multibyte;
        i += length == 0 ? 1 : length;
    }
    return count;
}

} // namespace

std::size_t invalidBytes(std::string_view block, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Cp932: return invalidMultibyte(block, CharLayout::cp932);
    case TextEncoding::EucJp: return invalidMultibyte(block, CharLayout::eucJp);
    case TextEncoding::Utf8: return countUtf8(block).invalid;
    default: return 0;
    }
}

bool preferCp932(std::string_view block)
{
    for (const char c : block) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && (b < 0xA1 || b > 0xDF))
            return false;
    }
    return true;
}

std::optional<Decision> fromStartOfFile(std::string_view block)
{
    if (const auto mark = byteOrderMark(block))
        return mark;
    if (const auto utf16 = utf16WithoutMark(block))
        return Decision{*utf16, 0};
    return std::nullopt;
}

TextEncoding fromText(std::string_view sample)
{
    // Text in UTF-8, CP932 or EUC-JP holds no zero byte; a binary file nearly always does.
    if (std::memchr(sample.data(), 0, sample.size()))
        return TextEncoding::Utf8;
    // Bytes that are not UTF-8 seldom form its sequences by chance: a sample made mostly
    // of them is UTF-8 with a few damaged bytes.
    const Utf8Count utf8 = countUtf8(sample);
    if (utf8.invalid == 0 || utf8.multibyte >= 8 * utf8.invalid)
        return TextEncoding::Utf8;

    const std::size_t cp932 = invalidBytes(sample, TextEncoding::Cp932);
    const std::size_t eucJp = invalidBytes(sample, TextEncoding::EucJp);
    const bool cp932First = cp932 < eucJp || (cp932 == eucJp && preferCp932(sample));
    const std::size_t japaneseInvalid = cp932First ? cp932 : eucJp;
    // More than one byte in sixteen above 7F starting nothing (and more than a few):
    // no text at all.
    if (japaneseInvalid >= utf8.invalid || (japaneseInvalid > 2 && japaneseInvalid * 16 > countNonAscii(sample)))
        return TextEncoding::Utf8;
    return cp932First ? TextEncoding::Cp932 : TextEncoding::EucJp;
}

std::optional<Decision> decide(std::string_view block, bool startsFile, bool endsFile)
{
    if (startsFile)
        if (const auto decision = fromStartOfFile(block))
            return decision;
    const std::size_t firstHigh = firstNonAscii(block);
    if (firstHigh == block.size())
        return endsFile ? std::optional<Decision>(Decision{}) : std::nullopt;
    return Decision{fromText(block.substr(firstHigh)), 0};
}

} // namespace qv::EncodingDetector
