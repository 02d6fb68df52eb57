// The path a result row stands for, as opening, dragging and printing use it.
#pragma once

#include "results/ResultRow.h"

#include <optional>
#include <string>
#include <string_view>

namespace qv {

// A text holding two consecutive backslashes names something on the network.
bool holdsNetworkPath(std::string_view text);

// The row's real bytes (sourcePath) when it keeps them; else Path, a backslash and
// Name, or Name alone when Path is empty.
std::string fullPath(const ResultRow& row);

// The real bytes of the row's Name and Path cells: split from sourcePath where the
// row keeps it (the folder of an entry at "/" is "/"), else the cells themselves.
struct RowBytes {
    std::string name;
    std::string folder;
};
RowBytes rowBytes(const ResultRow& row);

// None when the full path names nothing on the network (a workgroup row, a local
// file). Computer and share rows carry their network name in Name, which is then the
// path; any other row's path is its full path.
std::optional<std::string> rowPath(const ResultRow& row);

} // namespace qv
