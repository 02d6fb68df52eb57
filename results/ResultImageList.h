// The images of result rows: ten fixed images, then one image per distinct file icon.
#pragma once

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace qv {

// File icons are named as in a freedesktop icon theme; the view turns names into
// pictures. Each distinct icon takes one index (10 and above), however many files
// use it, so the list stays small on big trees. The walk adds from the worker
// thread while the view reads, hence the lock.
class ResultImageList final {
public:
    ResultImageList();

    // Back to the ten fixed images.
    void reset();
    // Index of the icon, added when new.
    int indexForIcon(const std::string& iconName);
    // Icon name of a file image; empty for a fixed image or an unknown index.
    std::string iconName(int index) const;
    int count() const;

    // Icon resource numbers of the fixed images 0 to 9.
    static const int kFixedIconResources[10];

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_fileIcons;
    std::unordered_map<std::string, int> m_indexByName;
};

} // namespace qv
