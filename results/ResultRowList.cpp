#include "results/ResultRowList.h"

#include "results/RowCompare.h"
#include "results/TimeCell.h"

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

static_assert(TimeCell::kTextSize <= kPrefixBytes, "a time's text must sort by its prefix alone");
constexpr std::uint32_t kPackedTime = std::uint32_t{1} << 31;

bool isTimeColumn(std::size_t column)
{
    return column == static_cast<std::size_t>(Column::Updated) || column == static_cast<std::size_t>(Column::Created)
           || column == static_cast<std::size_t>(Column::Accessed);
}

// Bytes from `from` on as a big-endian number, padded with zero bytes.
std::uint64_t bigEndian(std::string_view text, std::size_t from)
{
    std::uint64_t value = 0;
    for (std::size_t i = from; i < from + 8; ++i)
        value = (value << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    return value;
}

// The folded texts of one column's pool in one buffer, by text id: each distinct
// text is folded once, however many rows share it.
class FoldedCells final {
public:
    explicit FoldedCells(const CellTextPool& texts)
    {
        std::size_t total = 0;
        for (std::uint32_t id = 0; id < texts.count(); ++id)
            total += texts.text(id).size();
        m_bytes.reserve(total);
        m_offsets.reserve(texts.count() + 1);
        for (std::uint32_t id = 0; id < texts.count(); ++id) {
            const std::string_view text = texts.text(id);
            m_offsets.push_back(m_bytes.size());
            m_bytes.append(text);
            // Text by text: a cut sequence at the end of one must not join the next.
            RowCompare::foldInPlace(m_bytes.data() + m_offsets.back(), text.size());
        }
        m_offsets.push_back(m_bytes.size());
    }

    std::string_view at(std::uint32_t id) const
    {
        return std::string_view(m_bytes).substr(m_offsets[id], m_offsets[id + 1] - m_offsets[id]);
    }

private:
    std::string m_bytes;
    std::vector<std::size_t> m_offsets;
};

// Items in display order, from keys made row by row in key order: the rows are read
// in the order they sit in memory, and only the small keys are gathered by position.
template <typename MakeKey>
std::vector<SortItem> itemsInDisplayOrder(std::size_t rowCount, const std::deque<std::int64_t>& order,
                                          MakeKey makeKey)
{
    std::vector<SortItem> byKey;
    byKey.reserve(rowCount);
    for (std::size_t key = 0; key < rowCount; ++key) {
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

std::int64_t ResultRowList::add(const ResultRow& row)
{
    StoredRow stored;
    for (int c = 0; c < kColumnCount; ++c) {
        const auto column = static_cast<std::size_t>(c);
        CellTextPool& texts = m_cellTexts[column];
        const std::string& text = row.cells[column];
        if (isTimeColumn(column)) {
            if (const std::optional<std::uint32_t> packed = TimeCell::pack(text)) {
                stored.cells[column] = kPackedTime | *packed;
                continue;
            }
            const std::uint32_t id = texts.intern(text);
            if (id & kPackedTime)
                throw std::length_error("too many distinct time texts");
            stored.cells[column] = id;
            continue;
        }
        // Names and real paths seldom repeat; every other cell mostly does.
        stored.cells[column] = c == static_cast<int>(Column::Name) ? texts.add(text) : texts.intern(text);
    }
    stored.sourcePath = m_sourcePaths.add(row.sourcePath);
    stored.image = row.image;
    const std::int64_t key = count();
    m_rows.push_back(stored);
    m_order.push_front(key);
    return key;
}

void ResultRowList::clear()
{
    m_rows.clear();
    m_order.clear();
    for (CellTextPool& texts : m_cellTexts)
        texts.clear();
    m_sourcePaths.clear();
}

const ResultRowList::StoredRow& ResultRowList::stored(std::int64_t displayIndex) const
{
    if (displayIndex < 0 || displayIndex >= count())
        throw std::out_of_range("result row index");
    return m_rows[static_cast<std::size_t>(m_order[static_cast<std::size_t>(displayIndex)])];
}

CellText ResultRowList::textOf(const StoredRow& row, std::size_t column) const
{
    const std::uint32_t cell = row.cells[column];
    if (isTimeColumn(column) && (cell & kPackedTime)) {
        char text[TimeCell::kTextSize];
        TimeCell::unpack(cell & ~kPackedTime, text);
        return CellText::held({text, sizeof text});
    }
    return CellText(m_cellTexts[column].text(cell));
}

ResultRow ResultRowList::at(std::int64_t displayIndex) const
{
    const StoredRow& row = stored(displayIndex);
    ResultRow result;
    for (std::size_t column = 0; column < kColumnCount; ++column)
        result.cells[column] = textOf(row, column).str();
    result.image = row.image;
    result.key = m_order[static_cast<std::size_t>(displayIndex)];
    result.sourcePath = m_sourcePaths.text(row.sourcePath);
    return result;
}

CellText ResultRowList::cellText(std::int64_t displayIndex, Column column) const
{
    return textOf(stored(displayIndex), static_cast<std::size_t>(column));
}

int ResultRowList::image(std::int64_t displayIndex) const
{
    return stored(displayIndex).image;
}

std::int64_t ResultRowList::key(std::int64_t displayIndex) const
{
    stored(displayIndex);
    return m_order[static_cast<std::size_t>(displayIndex)];
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
        const auto c = static_cast<std::size_t>(column);
        const CellTextPool& texts = m_cellTexts[c];
        std::optional<FoldedCells> folded;
        std::vector<SortItem> items;
        if (column == Column::Size) {
            items = itemsInDisplayOrder(m_rows.size(), m_order, [&](std::size_t key) {
                checkCancel();
                const std::int64_t value = RowCompare::sizeValue(texts.text(m_rows[key].cells[c]));
                // Flipping the sign bit orders signed values as unsigned ones.
                return SortItem{static_cast<std::uint64_t>(value) ^ (std::uint64_t{1} << 63), 0, 0, 0};
            });
        } else {
            folded.emplace(texts);
            const bool times = isTimeColumn(c);
            items = itemsInDisplayOrder(m_rows.size(), m_order, [&](std::size_t key) {
                checkCancel();
                const std::uint32_t cell = m_rows[key].cells[c];
                // A time's text is digits and separators, which folding leaves alone.
                char timeText[TimeCell::kTextSize];
                std::string_view text;
                if (times && (cell & kPackedTime)) {
                    TimeCell::unpack(cell & ~kPackedTime, timeText);
                    text = std::string_view(timeText, sizeof timeText);
                } else {
                    text = folded->at(cell);
                }
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
            // (Every time kept as a number fits, so only texts reach the pool below.)
            if (a.length <= kPrefixBytes || b.length <= kPrefixBytes)
                return a.length < b.length;
            return RowCompare::compareTextKeys(folded->at(m_rows[a.key].cells[c]), folded->at(m_rows[b.key].cells[c])) < 0;
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
