// Walking UTF-8 text one character at a time, tolerating invalid bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::Utf8 {

// Length of the character that starts at text[pos]: 1 to 4 for a valid sequence,
// 1 for a byte that does not start one (such a byte counts as one character of its own).
std::size_t sequenceLength(std::string_view text, std::size_t pos);

// The length (2 to 4) of the valid multi-byte sequence at p, with `left` bytes from p
// on; 0 when none starts there.
std::size_t validSequenceLength(const unsigned char* p, std::size_t left);

// Decodes the valid sequence of the given length at text[pos].
char32_t decode(std::string_view text, std::size_t pos, std::size_t length);

bool isValid(std::string_view text);

// The text with each byte of an invalid sequence replaced by U+FFFD.
std::string sanitized(std::string_view text);

} // namespace qv::Utf8
