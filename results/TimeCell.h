// Time cells ("2024/03/01 12:00") kept as numbers: a million rows hold nearly as many
// distinct minutes, four bytes each instead of a text each.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qv::TimeCell {

// The text's digits as one number when it is a time in exactly the form the cells
// show, with a year from 1900 to 5907; none for any other text (which is kept as text).
// Numbers keep the order of the texts.
std::optional<std::uint32_t> pack(std::string_view text);

inline constexpr std::size_t kTextSize = 16;

// The text pack() was given, back again.
void unpack(std::uint32_t packed, char (&text)[kTextSize]);

} // namespace qv::TimeCell
