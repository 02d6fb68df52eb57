#include "search/SearchHistory.h"

#include <algorithm>

namespace qv {

bool SearchHistory::remember(const std::string& text)
{
    if (std::find(m_entries.begin(), m_entries.end(), text) != m_entries.end())
        return false;
    m_entries.push_back(text);
    return true;
}

} // namespace qv
