// The computers the last network walk went to, in its order, kept between runs in the
// user's cache folder: the next walk of the same place searches the first of them
// while it still waits for the network's lists, and knows which servers gain from
// helpers that list their folders ahead.
#pragma once

#include "platform/CacheFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class ComputerListCache final {
public:
    struct Entry {
        std::string workgroup;
        std::string computer; // "\\NAME"
        // Whether helpers listing its folders ahead made its walk faster, where a walk
        // has found out: a server bound by its cpu lists no faster for them.
        std::optional<bool> helpPays = std::nullopt;
        std::int64_t helpFoundAt = 0; // when, in seconds since 1970
    };

    // $XDG_CACHE_HOME/quendle/computers.tsv, else ~/.cache/quendle/computers.tsv.
    static std::string defaultPath();

    explicit ComputerListCache(std::string path = defaultPath());

    // What the file holds, in order, without what help was found to do more than
    // kHelpKeptFor before `now` (servers change: it is found out again); a missing or
    // damaged file gives what could be read of it.
    std::vector<Entry> load(std::int64_t now = currentTime()) const;
    // Replaces the list; entries whose names cannot be kept are left out. False when
    // the file could not be written.
    bool save(const std::vector<Entry>& entries) const;

    static constexpr std::size_t kMostEntries = 10000;
    static constexpr std::int64_t kHelpKeptFor = 24 * 3600;
    static std::int64_t currentTime();

private:
    CacheFile m_file;
};

} // namespace qv
