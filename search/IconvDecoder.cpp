#include "search/IconvDecoder.h"

#include "search/CharLayout.h"

#include <cerrno>
#include <cstring>

namespace qv {
namespace {

const iconv_t kClosed = reinterpret_cast<iconv_t>(-1);
constexpr char kReplacement[] = "\xEF\xBF\xBD";

char* putReplacement(char* out)
{
    std::memcpy(out, kReplacement, 3);
    return out + 3;
}

CharLayout::Span layoutAt(TextEncoding encoding, const char* p, std::size_t available)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(p);
    return encoding == TextEncoding::Cp932 ? CharLayout::cp932(bytes, available) : CharLayout::eucJp(bytes, available);
}

} // namespace

IconvDecoder::IconvDecoder() : m_current(kClosed) { m_descriptors.fill(kClosed); }

IconvDecoder::~IconvDecoder()
{
    for (iconv_t cd : m_descriptors)
        if (cd != kClosed)
            iconv_close(cd);
}

iconv_t IconvDecoder::descriptor(TextEncoding encoding)
{
    iconv_t& cd = m_descriptors[static_cast<std::size_t>(encoding)];
    if (cd == kClosed) {
        cd = iconv_open("UTF-8", iconvName(encoding));
        if (cd == kClosed && encoding == TextEncoding::EucJp)
            cd = iconv_open("UTF-8", "EUC-JP");
    }
    return cd;
}

void IconvDecoder::start(TextEncoding encoding)
{
    m_encoding = encoding;
    m_current = encoding == TextEncoding::Utf8 ? kClosed : descriptor(encoding);
    if (m_current != kClosed)
        iconv(m_current, nullptr, nullptr, nullptr, nullptr);
}

std::size_t IconvDecoder::decode(const char* in, std::size_t size, bool endsText, char* out, std::size_t& consumed)
{
    if (m_current == kClosed) {
        // No converter (UTF-8, or a C library without the module): the bytes as they are.
        std::memcpy(out, in, size);
        consumed = size;
        return size;
    }
    if (m_encoding == TextEncoding::Utf16Le || m_encoding == TextEncoding::Utf16Be)
        return decodeUtf16(in, size, endsText, out, consumed);
    return decodeMultibyte(in, size, endsText, out, consumed);
}

std::size_t IconvDecoder::decodeUtf16(const char* in, std::size_t size, bool endsText, char* out, std::size_t& consumed)
{
    char* inPtr = const_cast<char*>(in);
    std::size_t inLeft = size;
    char* outPtr = out;
    std::size_t outLeft = maxOutput(size);
    while (inLeft > 0) {
        if (iconv(m_current, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1))
            break;
        if (errno == EILSEQ) {
            // A surrogate without its partner: one unit.
            outPtr = putReplacement(outPtr);
            outLeft -= 3;
            const std::size_t skip = inLeft < 2 ? inLeft : 2;
            inPtr += skip;
            inLeft -= skip;
        } else if (errno == EINVAL) {
            if (!endsText)
                break;
            outPtr = putReplacement(outPtr);
            inPtr += inLeft;
            inLeft = 0;
        } else {
            break; // no room: cannot happen with maxOutput, and must not loop
        }
    }
    consumed = static_cast<std::size_t>(inPtr - in);
    return static_cast<std::size_t>(outPtr - out);
}

std::size_t IconvDecoder::decodeMultibyte(const char* in, std::size_t size, bool endsText, char* out,
                                          std::size_t& consumed)
{
    char* outPtr = out;
    std::size_t i = 0;
    while (i < size) {
        const std::size_t ascii = CharLayout::asciiPrefix(in + i, size - i);
        std::memcpy(outPtr, in + i, ascii);
        outPtr += ascii;
        i += ascii;
        if (i == size)
            break;
        // Whole, well-formed characters up to the next ASCII byte go to iconv at once.
        std::size_t j = i;
        CharLayout::Span span{0, true};
        while (j < size && static_cast<unsigned char>(in[j]) >= 0x80) {
            span = layoutAt(m_encoding, in + j, size - j);
            if (span.length == 0 || !span.valid)
                break;
            j += span.length;
        }
        outPtr = convertCharacters(in + i, j - i, outPtr);
        i = j;
        if (i == size || static_cast<unsigned char>(in[i]) < 0x80)
            continue;
        if (span.length == 0) {
            if (!endsText)
                break;
            outPtr = putReplacement(outPtr);
            i = size;
        } else {
            outPtr = putReplacement(outPtr); // a byte that starts no character
            ++i;
        }
    }
    consumed = i;
    return static_cast<std::size_t>(outPtr - out);
}

char* IconvDecoder::convertCharacters(const char* in, std::size_t size, char* out)
{
    char* inPtr = const_cast<char*>(in);
    std::size_t inLeft = size;
    std::size_t outLeft = maxOutput(size);
    while (inLeft > 0) {
        if (iconv(m_current, &inPtr, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // Unassigned: the whole character, as the layout groups it.
        const CharLayout::Span span = layoutAt(m_encoding, inPtr, inLeft);
        const std::size_t skip = span.length == 0 ? inLeft : span.length;
        out = putReplacement(out);
        outLeft -= 3;
        inPtr += skip;
        inLeft -= skip;
    }
    return out;
}

} // namespace qv
