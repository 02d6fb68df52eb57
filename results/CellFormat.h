// Text formats of result cells: times, sizes, and names shown as valid UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::CellFormat {

// Local time as "%Y/%m/%d %H:%M"; empty for a negative time (one the file system
// does not keep) or one the C library cannot convert.
std::string time(std::int64_t secondsSinceEpoch);

// "%d KB" of the size in kilobytes of 1024 bytes, truncated.
std::string sizeKb(std::int64_t bytes);

// The bytes as valid UTF-8: each byte of an invalid sequence becomes U+FFFD.
std::string displayText(std::string_view bytes);

} // namespace qv::CellFormat
