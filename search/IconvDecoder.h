// Text in UTF-16, CP932 or EUC-JP turned into UTF-8 through iconv, piece by piece.
#pragma once

#include "search/TextEncoding.h"

#include <array>
#include <cstddef>
#include <iconv.h>

namespace qv {

// Bytes that start no character, and characters the encoding leaves unassigned,
// each become one U+FFFD, grouped as the encoding groups its bytes (a CP932 lead
// with its trail is one character even when unassigned), so a damaged character
// never lends a byte to its neighbour. ASCII runs of the multi-byte encodings are
// copied without iconv, which is slow on them.
class IconvDecoder final {
public:
    IconvDecoder();
    ~IconvDecoder();
    IconvDecoder(const IconvDecoder&) = delete;
    IconvDecoder& operator=(const IconvDecoder&) = delete;

    // Starts a new text; UTF-8 is never decoded here.
    void start(TextEncoding encoding);

    // Converts in[0, size) into out, which holds at least maxOutput(size) bytes, and
    // gives the bytes written. A character cut off at the end is left unread (consumed
    // stops before it) unless the text ends there, when it becomes U+FFFD.
    std::size_t decode(const char* in, std::size_t size, bool endsText, char* out, std::size_t& consumed);

    static constexpr std::size_t maxOutput(std::size_t inputSize) { return 3 * inputSize + 8; }

private:
    iconv_t descriptor(TextEncoding encoding);
    std::size_t decodeUtf16(const char* in, std::size_t size, bool endsText, char* out, std::size_t& consumed);
    std::size_t decodeMultibyte(const char* in, std::size_t size, bool endsText, char* out, std::size_t& consumed);
    // Converts whole characters in[0, size); a character iconv refuses becomes U+FFFD.
    char* convertCharacters(const char* in, std::size_t size, char* out);

    std::array<iconv_t, 5> m_descriptors;
    TextEncoding m_encoding = TextEncoding::Utf8;
    iconv_t m_current;
};

} // namespace qv
