#include "results/ResultImageList.h"

#include "results/ResultRow.h"

namespace qv {

const int ResultImageList::kFixedIconResources[10] = {130, 153, 141, 133, 140, 139, 136, 135, 142, 154};

ResultImageList::ResultImageList() = default;

void ResultImageList::reset()
{
    std::lock_guard lock(m_mutex);
    m_fileIcons.clear();
    m_indexByName.clear();
}

int ResultImageList::indexForIcon(const std::string& iconName)
{
    std::lock_guard lock(m_mutex);
    const auto [it, added] = m_indexByName.try_emplace(iconName, kFirstFileImage + static_cast<int>(m_fileIcons.size()));
    if (added)
        m_fileIcons.push_back(iconName);
    return it->second;
}

std::string ResultImageList::iconName(int index) const
{
    std::lock_guard lock(m_mutex);
    const int i = index - kFirstFileImage;
    if (i < 0 || i >= static_cast<int>(m_fileIcons.size()))
        return {};
    return m_fileIcons[static_cast<std::size_t>(i)];
}

int ResultImageList::count() const
{
    std::lock_guard lock(m_mutex);
    return kFirstFileImage + static_cast<int>(m_fileIcons.size());
}

} // namespace qv
