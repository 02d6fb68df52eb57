// A history list of the texts searched for, newest shown first in the drop-down.
#pragma once

#include <string>
#include <vector>

namespace qv {

class SearchHistory final {
public:
    // Appends the text unless an equal one is there already; true when appended,
    // in which case the form puts it at the top of its drop-down list.
    bool remember(const std::string& text);
    const std::vector<std::string>& entries() const { return m_entries; }

private:
    std::vector<std::string> m_entries;
};

} // namespace qv
