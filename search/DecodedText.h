// A file's text, block by block, in the form the content match searches it.
#pragma once

#include "search/IconvDecoder.h"
#include "search/TextEncoding.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qv {

class FileReader;

// The file is read in blocks of kBlockSize bytes whatever its reader returns at a
// time, and its encoding is decided once: from the start of the file when a mark
// or UTF-16 tells, else on a sample of the text from its first byte above 7F (what
// comes before is ASCII, the same in every encoding). Each step gives a window:
// the bytes kept from the previous window, then the next block's text, whole
// characters only, so that it can be folded in place. Memory stays the same
// whatever the file's size.
class DecodedText final {
public:
    enum class Form {
        Utf8,      // the text in UTF-8; what is not UTF-8 stays as its bytes
        AsciiOnly, // only ASCII characters are looked for: every other character is
                   // left as bytes above 7F (CP932 trails below 80 become 80), so no
                   // ASCII byte and no line end shows where the text has none
    };
    enum class Step { Text, End, Failed };
    static constexpr std::size_t kBlockSize = 64 * 1024;

    DecodedText() = default;
    DecodedText(const DecodedText&) = delete;
    DecodedText& operator=(const DecodedText&) = delete;

    // keepLimit: the most bytes keep() is asked to carry from one window to the next.
    void begin(FileReader& reader, Form form, std::size_t keepLimit);

    // Text: the window holds new text from freshFrom() on. End: the file has no more.
    // Failed: a read failed.
    Step next();

    char* data() { return m_window.data(); }
    std::size_t size() const { return m_size; }
    std::size_t freshFrom() const { return m_kept; }

    // The last bytes of the window go in front of the next block's text.
    void keep(std::size_t bytes);

    // True when the window is the last: the file holds no more text.
    bool atEnd() const { return m_ended; }

    // In the ASCII-only form, a file's encoding matters only where a string was found
    // or where the window goes on into the next: raw bytes find every ASCII string of
    // UTF-8, EUC-JP and CP932 text, the true ones and those in CP932 trails. So the
    // decision on a file that is not ASCII waits for settle(), which takes it on the
    // sample kept in the window; true when that changed the window's bytes (CP932
    // trails hidden), which must then be searched again. Call it before keep().
    bool settle();

    // Known once a block has told it and the decision is settled.
    std::optional<TextEncoding> encoding() const { return m_encoding; }

private:
    std::int64_t fill(char* at, std::size_t want);
    bool decodesThroughIconv() const;
    bool decideEncoding(char* block, std::size_t& size, bool& endsFile);
    void useEncoding(TextEncoding encoding);
    std::size_t convertInPlace(char* text, std::size_t size, bool endsFile);
    std::size_t decodeRaw(std::size_t size, bool endsFile);
    void holdBack(const char* bytes, std::size_t count);
    char* rawBlock();

    FileReader* m_reader = nullptr;
    Form m_form = Form::Utf8;
    std::optional<TextEncoding> m_encoding;
    bool m_firstBlock = true;
    bool m_ended = false;
    bool m_deferred = false; // decision waits for settle(), on this sample of the window
    std::size_t m_sampleStart = 0;
    std::size_t m_sampleSize = 0;
    std::vector<char> m_window;
    std::size_t m_kept = 0;
    std::size_t m_size = 0;
    std::vector<char> m_raw; // blocks waiting for iconv
    // Bytes of a character that the previous block cut off.
    std::array<char, 8> m_carry{};
    std::size_t m_carrySize = 0;
    IconvDecoder m_decoder;
};

} // namespace qv
