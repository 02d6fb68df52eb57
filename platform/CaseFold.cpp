#include "platform/CaseFold.h"

#include "platform/Utf8.h"

#include <array>
#include <bitset>
#include <clocale>
#include <cstdint>
#include <locale.h>
#include <memory>
#include <wctype.h>

namespace qv::CaseFold {
namespace {

// Case tables for the Basic Multilingual Plane, filled once from the C library's
// UTF-8 locale, which holds the Unicode simple case mappings.
struct Tables {
    std::array<std::uint8_t, 128> asciiUpper{};
    std::array<std::uint8_t, 128> asciiLower{};
    std::unique_ptr<char16_t[]> upper{new char16_t[0x10000]};
    std::unique_ptr<char16_t[]> lower{new char16_t[0x10000]};
    std::bitset<0x10000> lowerOfAnother;

    Tables()
    {
        for (int c = 0; c < 128; ++c) {
            asciiUpper[c] = static_cast<std::uint8_t>(c >= 'a' && c <= 'z' ? c - 32 : c);
            asciiLower[c] = static_cast<std::uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        }
        locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        for (char32_t cp = 0; cp < 0x10000; ++cp) {
            upper[cp] = lower[cp] = static_cast<char16_t>(cp);
            if (cp < 0x80 || !utf8 || (cp >= 0xD800 && cp <= 0xDFFF))
                continue;
            const auto u = static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), utf8));
            const auto l = static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), utf8));
            if (u < 0x10000 && encodedLength(u) == encodedLength(cp))
                upper[cp] = static_cast<char16_t>(u);
            if (l < 0x10000 && encodedLength(l) == encodedLength(cp))
                lower[cp] = static_cast<char16_t>(l);
        }
        if (utf8)
            freelocale(utf8);
        for (char32_t cp = 0; cp < 0x10000; ++cp) {
            const char32_t l = cp < 0x80 ? asciiLower[cp] : lower[cp];
            if (l != cp)
                lowerOfAnother.set(l);
        }
    }

    static int encodedLength(char32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : 3; }
};

const Tables& tables()
{
    static const Tables instance;
    return instance;
}

void encodeInPlace(char* out, char32_t cp, std::size_t length)
{
    if (length == 2) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

template <bool Upper>
void mapInPlace(char* data, std::size_t size)
{
    const Tables& t = tables();
    const auto& ascii = Upper ? t.asciiUpper : t.asciiLower;
    const char16_t* wide = Upper ? t.upper.get() : t.lower.get();
    auto* bytes = reinterpret_cast<unsigned char*>(data);
    for (std::size_t pos = 0; pos < size;) {
        const unsigned char c = bytes[pos];
        if (c < 0x80) {
            bytes[pos++] = ascii[c];
            continue;
        }
        // Only two- and three-byte characters have length-keeping case pairs;
        // anything else, valid or not, is passed over a byte at a time.
        if (c >= 0xC2 && c <= 0xDF && pos + 1 < size && isContinuation(bytes[pos + 1])) {
            const char32_t cp = (char32_t(c & 0x1F) << 6) | (bytes[pos + 1] & 0x3F);
            const char32_t mapped = wide[cp];
            if (mapped != cp)
                encodeInPlace(data + pos, mapped, 2);
            pos += 2;
            continue;
        }
        if ((c & 0xF0) == 0xE0 && pos + 2 < size && isContinuation(bytes[pos + 1]) && isContinuation(bytes[pos + 2])) {
            const char32_t cp = (char32_t(c & 0x0F) << 12) | (char32_t(bytes[pos + 1] & 0x3F) << 6) | (bytes[pos + 2] & 0x3F);
            if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) {
                const char32_t mapped = wide[cp];
                if (mapped != cp)
                    encodeInPlace(data + pos, mapped, 3);
                pos += 3;
                continue;
            }
        }
        pos += Utf8::sequenceLength(std::string_view(data, size), pos);
    }
}

} // namespace

void toUpperInPlace(char* data, std::size_t size) { mapInPlace<true>(data, size); }
void toLowerInPlace(char* data, std::size_t size) { mapInPlace<false>(data, size); }

void asciiToLowerInPlace(char* data, std::size_t size)
{
    // Branch-free so that the compiler can vectorise it.
    auto* bytes = reinterpret_cast<unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = bytes[i];
        bytes[i] = static_cast<unsigned char>(c + (static_cast<unsigned char>(c - 'A') < 26 ? 32 : 0));
    }
}

bool isLowerOfAnother(char32_t c)
{
    return c < 0x10000 && tables().lowerOfAnother.test(c);
}

std::string toUpper(std::string_view text)
{
    std::string out(text);
    toUpperInPlace(out.data(), out.size());
    return out;
}

std::string toLower(std::string_view text)
{
    std::string out(text);
    toLowerInPlace(out.data(), out.size());
    return out;
}

std::size_t incompleteTail(const char* data, std::size_t size)
{
    // A sequence is at most 4 bytes: look back at most 3 for a lead byte.
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto c = static_cast<unsigned char>(data[size - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        std::size_t needed = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return needed > back ? back : 0;
    }
    return 0;
}

} // namespace qv::CaseFold
