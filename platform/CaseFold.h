// Upper- and lower-casing character by character, never changing a text's length.
#pragma once

#include <string>
#include <string_view>

namespace qv::CaseFold {

// Letters of every script are mapped, full-width Latin letters included, as long
// as both forms take the same number of UTF-8 bytes; invalid bytes are left alone.
// Keeping the length lets the content match fold a buffer in place and keep offsets.
void toUpperInPlace(char* data, std::size_t size);
void toLowerInPlace(char* data, std::size_t size);

// Lower-cases the ASCII letters only. Enough for finding ASCII strings: no other
// character's length-keeping lower case is an ASCII letter.
void asciiToLowerInPlace(char* data, std::size_t size);

// Whether some other character lower-cases to this one (a, ａ, é do; 見, あ, 1 do not).
// Text needs no folding to be searched for strings made only of characters that are
// not: no character of the text can fold into them.
bool isLowerOfAnother(char32_t c);

std::string toUpper(std::string_view text);
std::string toLower(std::string_view text);

// How many bytes at the end of the buffer begin a sequence that the buffer cuts off:
// a caller folding a stream keeps them for the next piece.
std::size_t incompleteTail(const char* data, std::size_t size);

} // namespace qv::CaseFold
