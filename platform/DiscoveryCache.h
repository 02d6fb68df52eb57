// What discovery found, kept between runs of the programs in the user's cache folder,
// so that qvsearch reaches a computer only discovery knows without a round of its own.
#pragma once

#include "platform/CacheFile.h"
#include "platform/discovery/DiscoveredHost.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class DiscoveryCache final {
public:
    struct Entry {
        DiscoveredHost host;
        std::int64_t seen = 0; // seconds since 1970
    };

    // $XDG_CACHE_HOME/quendle/hosts.tsv, else ~/.cache/quendle/hosts.tsv; empty when
    // neither folder is known.
    static std::string defaultPath();

    explicit DiscoveryCache(std::string path = defaultPath());

    // The entries seen less than maxAge before `now`; a missing or damaged file
    // gives what could be read of it.
    std::vector<Entry> load(std::chrono::seconds maxAge, std::int64_t now = currentTime()) const;
    // Adds the hosts as seen at `now` (replacing what the file held for the same name
    // and source), drops entries older than a week, and replaces the file whole.
    // Only hosts with an address are kept. False when the file could not be written.
    bool save(const std::vector<DiscoveredHost>& hosts, std::int64_t now = currentTime()) const;

    static std::int64_t currentTime();
    static constexpr std::chrono::seconds kKeptFor{7 * 24 * 3600};

private:
    std::vector<Entry> readAll() const;

    CacheFile m_file;
};

} // namespace qv
