// How the bytes of the two Japanese multi-byte encodings group into characters.
// Only the byte ranges of leads and trails: which character a group stands for is
// iconv's business.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qv::CharLayout {

// How many bytes at the start are ASCII (below 80), eight at a time: text with a
// Japanese word every few words leaves only short runs, so the first high byte of a
// word is found by its bit rather than byte by byte.
inline std::size_t asciiPrefix(const char* p, std::size_t size)
{
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        const std::uint64_t high = word & 0x8080808080808080ULL;
        if (high == 0)
            continue;
        if constexpr (std::endian::native == std::endian::little)
            return i + static_cast<std::size_t>(std::countr_zero(high) / 8);
        break;
    }
    while (i < size && static_cast<unsigned char>(p[i]) < 0x80)
        ++i;
    return i;
}

struct Span {
    std::size_t length; // 0: the bytes available end inside the character
    bool valid;         // false: a byte that starts no character; length is then 1
};

// CP932: ASCII and half-width katakana (A1-DF) are one byte; a lead (81-9F, E0-FC)
// and a trail (40-7E, 80-FC) are one character, assigned or not.
inline Span cp932(const unsigned char* p, std::size_t available)
{
    const unsigned char c = p[0];
    if (c < 0x80 || (c >= 0xA1 && c <= 0xDF))
        return {1, true};
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
        if (available < 2)
            return {0, true};
        const unsigned char t = p[1];
        if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC))
            return {2, true};
    }
    return {1, false};
}

// EUC-JP: ASCII is one byte; A1-FE pairs, 8E with a half-width katakana byte
// (A1-DF), and 8F with an A1-FE pair. Every byte of a multi-byte character is
// above 7F, so an ASCII byte is always a character of its own.
inline Span eucJp(const unsigned char* p, std::size_t available)
{
    const auto high = [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; };
    const unsigned char c = p[0];
    if (c < 0x80)
        return {1, true};
    if (c == 0x8E) {
        if (available < 2)
            return {0, true};
        return p[1] >= 0xA1 && p[1] <= 0xDF ? Span{2, true} : Span{1, false};
    }
    if (c == 0x8F) {
        if (available < 2 || (high(p[1]) && available < 3))
            return {0, true};
        return high(p[1]) && high(p[2]) ? Span{3, true} : Span{1, false};
    }
    if (high(c)) {
        if (available < 2)
            return {0, true};
        return high(p[1]) ? Span{2, true} : Span{1, false};
    }
    return {1, false};
}

} // namespace qv::CharLayout
