// The order of result rows when a column header is clicked: sizes by their number of
// kilobytes, every other column as text without regard to letter case.
#pragma once

#include "results/ResultRow.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::RowCompare {

// The number a Size cell stands for: the text less its last two characters read as
// an integer when it holds "KB" ("120 KB" gives 120), else -1, so that folders and
// network rows, whose Size cells are empty, come before every file.
std::int64_t sizeValue(std::string_view sizeCell);

// A cell as compared: each character lower-cased; invalid bytes are kept as they are.
// Sorting folds every cell once rather than once per comparison.
std::string textKey(std::string_view cell);
void foldInPlace(char* data, std::size_t size);

// Negative, zero or positive as a sorts before, with or after b.
int compareSizeValues(std::int64_t a, std::int64_t b);
int compareTextKeys(std::string_view a, std::string_view b);

// The whole rule for two cells of `column`; descending negates the result.
int compareCells(Column column, std::string_view a, std::string_view b, bool ascending);

} // namespace qv::RowCompare
