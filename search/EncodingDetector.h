// Which encoding a file's text is in, judged once from a block of its bytes.
#pragma once

#include "search/TextEncoding.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace qv::EncodingDetector {

// How much text after its first byte above 7F the decision looks at: plenty for telling
// three encodings apart, and little enough that deciding costs less than searching.
inline constexpr std::size_t kSampleSize = 4096;

struct Decision {
    TextEncoding encoding = TextEncoding::Utf8;
    std::size_t bomLength = 0; // bytes of a byte-order mark at the start of the file
};

// What the start of a file tells by itself: a byte-order mark, or UTF-16 without
// one when most of one half of the bytes are zero and hardly any of the other.
std::optional<Decision> fromStartOfFile(std::string_view block);

// The encoding of a sample of text that holds bytes above 7F: UTF-8 (its bytes as
// they are) when it holds a zero byte, which no text in the three encodings does and
// nearly every binary file does; UTF-8 when it is valid
// UTF-8 or has at least eight valid multi-byte sequences to each byte that is not;
// else the one of CP932 and EUC-JP in which the fewest bytes start no character
// (between the two on a tie see preferCp932), if it has fewer such bytes than UTF-8
// and at most two or one in sixteen of the bytes above 7F; else UTF-8, which
// searches a binary file as its bytes. A character cut off by the sample's end counts
// against no encoding: the sample or the file may end anywhere.
TextEncoding fromText(std::string_view sample);

// Both steps on one block: from the start of the file when it starts the file, then
// from the block's first byte above 7F on. Nothing while the block is ASCII only and
// the file goes on: such bytes read the same in every encoding.
std::optional<Decision> decide(std::string_view block, bool startsFile, bool endsFile);

// Bytes that start no character, not counting a character cut off by the block's end.
std::size_t invalidBytes(std::string_view block, TextEncoding encoding);

// When a block reads equally well as CP932 and as EUC-JP: EUC-JP text almost always
// holds a byte from E0 up within a few characters (its trails run A1-FE), while
// CP932 text readable as EUC-JP is nearly always half-width katakana (A1-DF) only.
bool preferCp932(std::string_view block);

} // namespace qv::EncodingDetector
