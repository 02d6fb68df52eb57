// The rows of one search in display order, newest at index 0 until a sort.
#pragma once

#include "results/CellText.h"
#include "results/CellTextPool.h"
#include "results/ResultRow.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

namespace qv {

// Rows are stored by key (the order they came in) and never move once added; the
// display order is a separate list of keys. A new row goes to the front of that list
// in O(1), also after a sort, so a sorted list shows new rows on top, unsorted.
// A row is kept as the ids of its texts in one pool per column, so rows share their
// folder paths, type names and sizes; times are kept as numbers.
class ResultRowList final {
public:
    // Adds the row at the top and returns its key: the count before the addition.
    std::int64_t add(const ResultRow& row);
    void clear();
    std::int64_t count() const { return static_cast<std::int64_t>(m_rows.size()); }
    // The row put together again from its texts.
    ResultRow at(std::int64_t displayIndex) const;
    // A view valid until clear(), or a time's text held in the value.
    CellText cellText(std::int64_t displayIndex, Column column) const;
    int image(std::int64_t displayIndex) const;
    std::int64_t key(std::int64_t displayIndex) const;

    // Reorders the display order by the cells of `column` (RowCompare's rule). Rows
    // that compare equal keep the order they had.
    void sort(Column column, bool ascending);

    // The display order sort() would give, computed without changing the list: it only
    // reads, so another thread may run it while this one reads the rows too (but adds
    // and clears nothing). Empty when `cancelled` turned true on the way.
    std::vector<std::int64_t> sortedOrder(Column column, bool ascending,
                                          const std::atomic<bool>* cancelled = nullptr) const;
    // Takes an order sortedOrder() gave for the rows the list holds now; false (and
    // nothing changes) when the list no longer has exactly those rows.
    bool setOrder(const std::vector<std::int64_t>& order);

    // The display index of every row, indexed by row key.
    std::vector<std::int64_t> displayIndexesByKey() const;

    // One row as stored: the id of each cell in its column's pool (for a time column, a
    // time as a number with the top bit set, else the id of a text that is no such
    // time), the id of the real path bytes in their own pool, and the image.
    struct StoredRow {
        std::array<std::uint32_t, kColumnCount> cells{};
        std::uint32_t sourcePath = 0;
        std::int32_t image = ImageFolder;
    };

private:
    const StoredRow& stored(std::int64_t displayIndex) const;
    CellText textOf(const StoredRow& row, std::size_t column) const;

    std::array<CellTextPool, kColumnCount> m_cellTexts;
    CellTextPool m_sourcePaths;
    std::deque<StoredRow> m_rows;       // by key
    std::deque<std::int64_t> m_order;   // keys, top row first
};

} // namespace qv
