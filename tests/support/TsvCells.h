// The cells of one line of qvsearch's TSV, read back: tabs split them, and "\t",
// "\r", "\n" and "\\" inside a cell stand for a tab, CR, LF and a backslash.
#pragma once

#include <string>
#include <vector>

namespace qv::test {

inline std::vector<std::string> tsvCells(const std::string& line)
{
    std::vector<std::string> cells(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            cells.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            cells.back().push_back(next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next);
        } else {
            cells.back().push_back(c);
        }
    }
    return cells;
}

} // namespace qv::test
