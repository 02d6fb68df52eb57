#include "search/DecodedText.h"

#include "platform/FileReader.h"
#include "platform/CaseFold.h"
#include "search/CharLayout.h"
#include "search/EncodingDetector.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace qv {
namespace {

// The block on which the encoding is decided may be read ahead by up to a sample.
constexpr std::size_t kLargestRead = DecodedText::kBlockSize + EncodingDetector::kSampleSize;

constexpr char kNotAscii = static_cast<char>(0x80);

// Hides the CP932 trails that look like ASCII ("@" in ァ, "m" in 確); gives the bytes
// of a character cut off at the end.
std::size_t hideCp932Trails(char* text, std::size_t size, bool endsFile)
{
    auto* bytes = reinterpret_cast<unsigned char*>(text);
    for (std::size_t i = 0; i < size;) {
        i += CharLayout::asciiPrefix(text + i, size - i);
        if (i >= size)
            break;
        const CharLayout::Span span = CharLayout::cp932(bytes + i, size - i);
        if (span.length == 0)
            return endsFile ? 0 : size - i;
        if (span.length == 2 && bytes[i + 1] < 0x80)
            bytes[i + 1] = 0x80;
        i += span.length;
    }
    return 0;
}

// UTF-16 reduced in place to one byte a unit: the ASCII units as themselves, every
// other unit as 80. Gives the bytes written; a last odd byte is held back.
std::size_t asciiOfUtf16(char* text, std::size_t size, bool bigEndian, bool endsFile, std::size_t& held)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const std::size_t units = size / 2;
    const int high = bigEndian ? 0 : 1;
    std::size_t out = 0;
    for (std::size_t u = 0; u < units; ++u) {
        const unsigned char hi = bytes[2 * u + high];
        const unsigned char lo = bytes[2 * u + 1 - high];
        text[out++] = hi == 0 && lo < 0x80 ? static_cast<char>(lo) : kNotAscii;
    }
    held = 0;
    if (size % 2 != 0) {
        if (endsFile)
            text[out++] = kNotAscii;
        else
            held = 1;
    }
    return out;
}

} // namespace

void DecodedText::begin(FileReader& reader, Form form, std::size_t keepLimit)
{
    m_reader = &reader;
    m_form = form;
    m_encoding.reset();
    m_firstBlock = true;
    m_ended = false;
    m_kept = 0;
    m_size = 0;
    m_carrySize = 0;
    m_deferred = false;
    const std::size_t needed = keepLimit + IconvDecoder::maxOutput(kLargestRead + m_carry.size()) + 8;
    if (m_window.size() < needed)
        m_window.resize(needed);
}

std::int64_t DecodedText::fill(char* at, std::size_t want)
{
    std::size_t got = 0;
    while (got < want) {
        const std::int64_t n = m_reader->read(at + got, want - got);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(got);
}

bool DecodedText::decodesThroughIconv() const
{
    if (!m_encoding || *m_encoding == TextEncoding::Utf8)
        return false;
    // ASCII characters are found without decoding: EUC-JP and UTF-8 never hold an
    // ASCII byte inside another character, CP932 and UTF-16 are reduced in place.
    return m_form == Form::Utf8;
}

// Decided once: from the start of the file when it tells (a mark, UTF-16), else on
// the sample of EncodingDetector::kSampleSize bytes from the file's first byte above
// 7F, read ahead when the block ends sooner, so the sample never ends a few bytes
// into the text.
bool DecodedText::decideEncoding(char* block, std::size_t& size, bool& endsFile)
{
    if (m_firstBlock) {
        m_firstBlock = false;
        if (const auto decision = EncodingDetector::fromStartOfFile(std::string_view(block, size))) {
            std::memmove(block, block + decision->bomLength, size - decision->bomLength);
            size -= decision->bomLength;
            useEncoding(decision->encoding);
            return true;
        }
    }
    const std::size_t firstHigh = CharLayout::asciiPrefix(block, size);
    if (firstHigh == size) {
        if (endsFile)
            useEncoding(TextEncoding::Utf8);
        return true;
    }
    const std::size_t sampleEnd = firstHigh + EncodingDetector::kSampleSize;
    if (!endsFile && sampleEnd > size) {
        const std::size_t missing = sampleEnd - size;
        const std::int64_t more = fill(block + size, missing);
        if (more < 0)
            return false;
        size += static_cast<std::size_t>(more);
        endsFile = static_cast<std::size_t>(more) < missing;
    }
    const std::size_t sampleSize = std::min(size, sampleEnd) - firstHigh;
    if (m_form == Form::AsciiOnly) {
        // Until a string turns up, the raw bytes give the answer of every encoding.
        m_deferred = true;
        m_sampleStart = static_cast<std::size_t>(block - m_window.data()) + firstHigh;
        m_sampleSize = sampleSize;
        return true;
    }
    useEncoding(EncodingDetector::fromText(std::string_view(block + firstHigh, sampleSize)));
    return true;
}

bool DecodedText::settle()
{
    if (!m_deferred)
        return false;
    m_deferred = false;
    useEncoding(EncodingDetector::fromText(std::string_view(m_window.data() + m_sampleStart, m_sampleSize)));
    if (*m_encoding != TextEncoding::Cp932)
        return false;
    // Every window before this one was ASCII, so the window starts a character.
    const std::size_t held = hideCp932Trails(m_window.data(), m_size, m_ended);
    holdBack(m_window.data() + m_size - held, held);
    m_size -= held;
    return true;
}

void DecodedText::useEncoding(TextEncoding encoding)
{
    m_encoding = encoding;
    m_decoder.start(encoding);
}

char* DecodedText::rawBlock()
{
    if (m_raw.size() < kLargestRead + m_carry.size())
        m_raw.resize(kLargestRead + m_carry.size());
    return m_raw.data();
}

void DecodedText::holdBack(const char* bytes, std::size_t count)
{
    count = std::min(count, m_carry.size());
    std::memcpy(m_carry.data(), bytes, count);
    m_carrySize = count;
}

DecodedText::Step DecodedText::next()
{
    settle();
    while (!m_ended) {
        char* block = decodesThroughIconv() ? rawBlock() : m_window.data() + m_kept;
        std::memcpy(block, m_carry.data(), m_carrySize);
        const std::size_t carried = m_carrySize;
        m_carrySize = 0;
        const std::int64_t n = fill(block + carried, kBlockSize);
        if (n < 0)
            return Step::Failed;
        bool endsFile = static_cast<std::size_t>(n) < kBlockSize;
        std::size_t size = carried + static_cast<std::size_t>(n);

        if (!m_encoding) {
            if (!decideEncoding(block, size, endsFile))
                return Step::Failed;
            if (decodesThroughIconv())
                std::memcpy(rawBlock(), block, size); // read before its encoding was known
        }
        m_ended = endsFile;
        const std::size_t produced = decodesThroughIconv() ? decodeRaw(size, endsFile) : convertInPlace(block, size, endsFile);
        m_size = m_kept + produced;
        if (produced > 0)
            return Step::Text;
    }
    return Step::End;
}

std::size_t DecodedText::convertInPlace(char* text, std::size_t size, bool endsFile)
{
    const TextEncoding encoding = m_encoding.value_or(TextEncoding::Utf8);
    std::size_t held = 0;
    std::size_t produced = size;
    switch (encoding) {
    case TextEncoding::Utf8:
        if (m_form == Form::Utf8 && !endsFile)
            held = CaseFold::incompleteTail(text, size);
        produced = size - held;
        break;
    case TextEncoding::EucJp:
        break;
    case TextEncoding::Cp932:
        held = hideCp932Trails(text, size, endsFile);
        produced = size - held;
        break;
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: {
        const char last = size > 0 ? text[size - 1] : 0;
        produced = asciiOfUtf16(text, size, encoding == TextEncoding::Utf16Be, endsFile, held);
        if (held > 0)
            holdBack(&last, 1);
        return produced;
    }
    }
    holdBack(text + size - held, held);
    return produced;
}

std::size_t DecodedText::decodeRaw(std::size_t size, bool endsFile)
{
    std::size_t consumed = 0;
    const std::size_t produced = m_decoder.decode(m_raw.data(), size, endsFile, m_window.data() + m_kept, consumed);
    holdBack(m_raw.data() + consumed, size - consumed);
    return produced;
}

void DecodedText::keep(std::size_t bytes)
{
    bytes = std::min(bytes, m_size);
    std::memmove(m_window.data(), m_window.data() + m_size - bytes, bytes);
    m_kept = bytes;
    m_size = bytes;
}

} // namespace qv
