// The entries of one folder, listed once; size and times may come on demand.
#pragma once

#include "platform/FileEntry.h"

#include <vector>

namespace qv {

class FolderListing {
public:
    virtual ~FolderListing() = default;

    std::vector<FileEntry>& entries() { return m_entries; }

    // Fills the size and times of an entry the listing gave without them;
    // false when the entry vanished or cannot be examined.
    virtual bool loadDetails(FileEntry& entry) { return entry.hasDetails; }

    // Lets go of what the listing keeps open (a folder handle); details can still
    // be loaded afterwards. The walk calls it on deep levels, so that a deep tree
    // does not hold one handle per level.
    virtual void release() {}

protected:
    std::vector<FileEntry> m_entries;
};

} // namespace qv
