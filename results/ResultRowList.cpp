#include "results/ResultRowList.h"

#include <stdexcept>

namespace qv {

const ResultRow& ResultRowList::add(ResultRow row)
{
    row.key = count();
    m_rows.push_back(std::move(row));
    return m_rows.back();
}

const ResultRow& ResultRowList::at(std::int64_t displayIndex) const
{
    if (displayIndex < 0 || displayIndex >= count())
        throw std::out_of_range("result row index");
    return m_rows[static_cast<std::size_t>(count() - 1 - displayIndex)];
}

const std::string& ResultRowList::cellText(std::int64_t displayIndex, Column column) const
{
    return at(displayIndex).cell(column);
}

} // namespace qv
