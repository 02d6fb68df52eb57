#include "platform/Utf8.h"

#include <cstdint>
#include <cstring>

namespace qv::Utf8 {
namespace {

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

bool inRange(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

} // namespace

std::size_t validSequenceLength(const unsigned char* p, std::size_t left)
{
    const unsigned char c0 = p[0];
    if (inRange(c0, 0xC2, 0xDF))
        return left >= 2 && isContinuation(p[1]) ? 2 : 0;
    if (inRange(c0, 0xE0, 0xEF)) {
        if (left < 3 || !isContinuation(p[2]))
            return 0;
        const unsigned char low = c0 == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = c0 == 0xED ? 0x9F : 0xBF;
        return inRange(p[1], low, high) ? 3 : 0;
    }
    if (inRange(c0, 0xF0, 0xF4)) {
        if (left < 4 || !isContinuation(p[2]) || !isContinuation(p[3]))
            return 0;
        const unsigned char low = c0 == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = c0 == 0xF4 ? 0x8F : 0xBF;
        return inRange(p[1], low, high) ? 4 : 0;
    }
    return 0;
}


std::size_t sequenceLength(std::string_view text, std::size_t pos)
{
    const auto c0 = static_cast<unsigned char>(text[pos]);
    if (c0 < 0x80)
        return 1;
    std::size_t length;
    char32_t minimum;
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        length = 2;
        minimum = 0x80;
    } else if (c0 >= 0xE0 && c0 <= 0xEF) {
        length = 3;
        minimum = 0x800;
    } else if (c0 >= 0xF0 && c0 <= 0xF4) {
        length = 4;
        minimum = 0x10000;
    } else {
        return 1;
    }
    if (pos + length > text.size())
        return 1;
    for (std::size_t i = 1; i < length; ++i)
        if (!isContinuation(static_cast<unsigned char>(text[pos + i])))
            return 1;
    const char32_t cp = decode(text, pos, length);
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 1;
    return length;
}

char32_t decode(std::string_view text, std::size_t pos, std::size_t length)
{
    const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(text[pos + i])); };
    switch (length) {
    case 2: return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    case 3: return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    case 4: return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) | (byte(3) & 0x3F);
    default: return byte(0);
    }
}

// Every listed name is checked, once per pattern. Most names are ASCII at least at
// their start, which is skipped eight bytes at a time; after that a sequence is checked
// against the byte ranges of RFC 3629 (the same overlong, surrogate and 10FFFF limits
// as sequenceLength) without decoding it.
bool isValid(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    for (std::uint64_t word; end - p >= 8; p += 8) {
        std::memcpy(&word, p, sizeof word);
        if (word & 0x8080808080808080ULL)
            break;
    }
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const std::size_t length = validSequenceLength(p, static_cast<std::size_t>(end - p));
        if (length == 0)
            return false;
        p += length;
    }
    return true;
}

std::string sanitized(std::string_view text)
{
    if (isValid(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t pos = 0; pos < text.size();) {
        const auto c = static_cast<unsigned char>(text[pos]);
        const std::size_t length = c < 0x80 ? 1 : sequenceLength(text, pos);
        if (c >= 0x80 && length == 1)
            out += "\xEF\xBF\xBD";
        else
            out.append(text, pos, length);
        pos += length;
    }
    return out;
}

} // namespace qv::Utf8
