#include "results/ResultRowList.h"

#include "results/RowCompare.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qv {
namespace {

// One row's place in a sort: the first 16 bytes of its folded cell (or its size
// value) as two big-endian numbers, so that most comparisons are two integer
// comparisons on data that sits together in memory. A million rows sort in about
// twenty million comparisons; folding texts or following pointers in each was
// seconds, not a fraction of one.
struct SortItem {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    std::uint32_t key = 0;
    std::uint32_t length = 0; // of the folded text, capped; 0 for sizes
};
constexpr std::size_t kPrefixBytes = 16;

// Bytes from `from` on as a big-endian number, padded with zero bytes.
std::uint64_t bigEndian(std::string_view text, std::size_t from)
{
    std::uint64_t value = 0;
    for (std::size_t i = from; i < from + 8; ++i)
        value = (value << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    return value;
}

// The folded cells of all rows in one buffer, by row key.
class FoldedCells final {
public:
    FoldedCells(const std::deque<ResultRow>& rows, Column column)
    {
        std::size_t total = 0;
        for (const ResultRow& row : rows)
            total += row.cell(column).size();
        m_bytes.reserve(total);
        m_offsets.reserve(rows.size() + 1);
        for (const ResultRow& row : rows) {
            const std::string& cell = row.cell(column);
            m_offsets.push_back(m_bytes.size());
            m_bytes.append(cell);
            // Cell by cell: a cut sequence at the end of one cell must not join the next.
            RowCompare::foldInPlace(m_bytes.data() + m_offsets.back(), cell.size());
        }
        m_offsets.push_back(m_bytes.size());
    }

    std::string_view at(std::int64_t key) const
    {
        const auto k = static_cast<std::size_t>(key);
        return std::string_view(m_bytes).substr(m_offsets[k], m_offsets[k + 1] - m_offsets[k]);
    }

private:
    std::string m_bytes;
    std::vector<std::size_t> m_offsets;
};

// Items in display order, from keys made row by row in key order: the rows are read
// in the order they sit in memory, and only the small keys are gathered by position.
template <typename MakeKey>
std::vector<SortItem> itemsInDisplayOrder(const std::deque<ResultRow>& rows, const std::deque<std::int64_t>& order,
                                          MakeKey makeKey)
{
    std::vector<SortItem> byKey;
    byKey.reserve(rows.size());
    for (std::size_t key = 0; key < rows.size(); ++key) {
        SortItem item = makeKey(key);
        item.key = static_cast<std::uint32_t>(key);
        byKey.push_back(item);
    }
    std::vector<SortItem> items;
    items.reserve(order.size());
    for (const std::int64_t key : order)
        items.push_back(byKey[static_cast<std::size_t>(key)]);
    return items;
}

} // namespace

const ResultRow& ResultRowList::add(ResultRow row)
{
    row.key = count();
    m_rows.push_back(std::move(row));
    m_order.push_front(m_rows.back().key);
    return m_rows.back();
}

void ResultRowList::clear()
{
    m_rows.clear();
    m_order.clear();
}

const ResultRow& ResultRowList::at(std::int64_t displayIndex) const
{
    if (displayIndex < 0 || displayIndex >= count())
        throw std::out_of_range("result row index");
    return m_rows[static_cast<std::size_t>(m_order[static_cast<std::size_t>(displayIndex)])];
}

const std::string& ResultRowList::cellText(std::int64_t displayIndex, Column column) const
{
    return at(displayIndex).cell(column);
}

void ResultRowList::sort(Column column, bool ascending)
{
    setOrder(sortedOrder(column, ascending));
}

std::vector<std::int64_t> ResultRowList::sortedOrder(Column column, bool ascending,
                                                     const std::atomic<bool>* cancelled) const
{
    // Sort items carry 32-bit keys; a list that size is far beyond what a view shows.
    if (m_rows.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many result rows to sort");
    // A cancelled sort ends by an exception from inside the comparisons, the one way
    // out of std::stable_sort; the half-sorted items are thrown away.
    struct Cancelled {};
    std::size_t steps = 0;
    auto checkCancel = [&] {
        if (cancelled && (++steps & 0xFFFF) == 0 && cancelled->load(std::memory_order_relaxed))
            throw Cancelled{};
    };
    try {
        std::optional<FoldedCells> folded;
        std::vector<SortItem> items;
        if (column == Column::Size) {
            items = itemsInDisplayOrder(m_rows, m_order, [&](std::size_t key) {
                checkCancel();
                const std::int64_t value = RowCompare::sizeValue(m_rows[key].cell(Column::Size));
                // Flipping the sign bit orders signed values as unsigned ones.
                return SortItem{static_cast<std::uint64_t>(value) ^ (std::uint64_t{1} << 63), 0, 0, 0};
            });
        } else {
            folded.emplace(m_rows, column);
            items = itemsInDisplayOrder(m_rows, m_order, [&](std::size_t key) {
                checkCancel();
                const std::string_view text = folded->at(static_cast<std::int64_t>(key));
                const auto length = static_cast<std::uint32_t>(std::min(text.size(), kPrefixBytes + 1));
                return SortItem{bigEndian(text, 0), bigEndian(text, 8), 0, length};
            });
        }
        // Equal prefixes of longer texts are told apart by the whole folded texts, which
        // is RowCompare::compareTextKeys: zero padding orders a text before its extensions.
        auto less = [&](const SortItem& a, const SortItem& b) {
            checkCancel();
            if (a.high != b.high)
                return a.high < b.high;
            if (a.low != b.low)
                return a.low < b.low;
            // Texts that fit in the prefix are equal but for zero bytes at their ends.
            if (a.length <= kPrefixBytes || b.length <= kPrefixBytes)
                return a.length < b.length;
            return RowCompare::compareTextKeys(folded->at(a.key), folded->at(b.key)) < 0;
        };
        // Descending negates the rule; equal rows keep their order either way.
        if (ascending)
            std::stable_sort(items.begin(), items.end(), less);
        else
            std::stable_sort(items.begin(), items.end(), [&](const SortItem& a, const SortItem& b) { return less(b, a); });
        std::vector<std::int64_t> order;
        order.reserve(items.size());
        for (const SortItem& item : items)
            order.push_back(item.key);
        return order;
    } catch (const Cancelled&) {
        return {};
    }
}

bool ResultRowList::setOrder(const std::vector<std::int64_t>& order)
{
    if (order.size() != m_order.size())
        return false;
    std::copy(order.begin(), order.end(), m_order.begin());
    return true;
}

std::vector<std::int64_t> ResultRowList::displayIndexesByKey() const
{
    std::vector<std::int64_t> positions(m_rows.size());
    for (std::size_t i = 0; i < m_order.size(); ++i)
        positions[static_cast<std::size_t>(m_order[i])] = static_cast<std::int64_t>(i);
    return positions;
}

} // namespace qv
