#include "cli/RowCollector.h"

namespace qv {

void RowCollector::addRow(ResultRow row)
{
    {
        std::lock_guard lock(m_mutex);
        m_rows.add(row);
    }
    m_next.addRow(std::move(row));
}

} // namespace qv
