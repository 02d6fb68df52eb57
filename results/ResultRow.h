// One result row: nine text cells, an image index, the row key and, where the cells
// do not show them, the real bytes of its path.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qv {

enum class Column : int {
    Name = 0,
    Path,
    Size,
    Type,
    Updated,
    Created,
    Accessed,
    Match,
    MatchString,
};
inline constexpr int kColumnCount = 9;

// Images every result image list starts with; file icons follow from kFirstFileImage.
enum ResultImage : int {
    ImageFolder = 0,
    ImageShare = 3,
    ImageComputer = 4,
    ImageWorkgroup = 5,
    ImagePrinter = 9,
    kFirstFileImage = 10,
};

struct ResultRow {
    std::array<std::string, kColumnCount> cells;
    int image = ImageFolder;
    std::int64_t key = -1; // rows the list held before this one was added
    // The real bytes of the full path where the Name or Path cell shows decoded or
    // replaced text; empty otherwise.
    std::string sourcePath;

    std::string& cell(Column c) { return cells[static_cast<int>(c)]; }
    const std::string& cell(Column c) const { return cells[static_cast<int>(c)]; }
};

} // namespace qv
