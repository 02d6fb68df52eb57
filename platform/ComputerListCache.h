// The computers the last network walk went to, in its order, kept between runs in the
// user's cache folder: the next walk of the same place searches the first of them
// while it still waits for the network's lists.
#pragma once

#include "platform/CacheFile.h"

#include <string>
#include <vector>

namespace qv {

class ComputerListCache final {
public:
    struct Entry {
        std::string workgroup;
        std::string computer; // "\\NAME"
    };

    // $XDG_CACHE_HOME/quendle/computers.tsv, else ~/.cache/quendle/computers.tsv.
    static std::string defaultPath();

    explicit ComputerListCache(std::string path = defaultPath());

    // What the file holds, in order; a missing or damaged file gives what could be
    // read of it.
    std::vector<Entry> load() const;
    // Replaces the list; entries whose names cannot be kept are left out. False when
    // the file could not be written.
    bool save(const std::vector<Entry>& entries) const;

    static constexpr std::size_t kMostEntries = 10000;

private:
    CacheFile m_file;
};

} // namespace qv
