// The rows of one search in display order, newest at index 0.
#pragma once

#include "results/ResultRow.h"

#include <cstdint>
#include <deque>

namespace qv {

// Rows are stored oldest first and read back reversed, so that adding at the
// top never moves the rows already held.
class ResultRowList final {
public:
    // Adds the row at the top; its key becomes the count before the addition.
    const ResultRow& add(ResultRow row);
    void clear() { m_rows.clear(); }
    std::int64_t count() const { return static_cast<std::int64_t>(m_rows.size()); }
    const ResultRow& at(std::int64_t displayIndex) const;
    const std::string& cellText(std::int64_t displayIndex, Column column) const;

private:
    std::deque<ResultRow> m_rows;
};

} // namespace qv
