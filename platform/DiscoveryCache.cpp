// The cache file: a header line, then one tab-separated line per host:
// seen, source, name, workgroup, domain flag, address.
#include "platform/DiscoveryCache.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <map>

namespace qv {
namespace {

constexpr const char* kHeader = "quendle-hosts 1";

std::string keyOf(const DiscoveredHost& host)
{
    std::string key = std::to_string(static_cast<int>(host.source)) + "\t";
    for (const char c : host.name)
        key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return key;
}

} // namespace

std::string DiscoveryCache::defaultPath() { return CacheFile::defaultPath("hosts.tsv"); }

DiscoveryCache::DiscoveryCache(std::string path) : m_file(std::move(path), kHeader) {}

std::int64_t DiscoveryCache::currentTime() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::vector<DiscoveryCache::Entry> DiscoveryCache::readAll() const
{
    std::vector<Entry> entries;
    for (const CacheFile::Fields& fields : m_file.read(6)) {
        Entry entry;
        char* end = nullptr;
        errno = 0;
        entry.seen = std::strtoll(fields[0].c_str(), &end, 10);
        const long source = std::strtol(fields[1].c_str(), nullptr, 10);
        if (errno != 0 || end == fields[0].c_str() || *end != '\0' || source < 0
            || source > static_cast<long>(DiscoverySource::DnsSd) || fields[2].empty()
            || !CacheFile::isCleanField(fields[2]) || !CacheFile::isCleanField(fields[3])
            || (fields[4] != "0" && fields[4] != "1") || fields[5].empty() || !CacheFile::isCleanField(fields[5]))
            continue;
        entry.host.source = static_cast<DiscoverySource>(source);
        entry.host.name = fields[2];
        entry.host.workgroup = fields[3];
        entry.host.isDomain = fields[4] == "1";
        entry.host.address = fields[5];
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<DiscoveryCache::Entry> DiscoveryCache::load(std::chrono::seconds maxAge, std::int64_t now) const
{
    std::vector<Entry> fresh;
    for (Entry& entry : readAll())
        if (entry.seen <= now && now - entry.seen < maxAge.count())
            fresh.push_back(std::move(entry));
    return fresh;
}

bool DiscoveryCache::save(const std::vector<DiscoveredHost>& hosts, std::int64_t now) const
{
    if (m_file.path().empty())
        return false;
    std::map<std::string, Entry> byKey;
    for (Entry& entry : readAll())
        if (entry.seen <= now && now - entry.seen < kKeptFor.count())
            byKey[keyOf(entry.host)] = std::move(entry);
    for (const DiscoveredHost& host : hosts) {
        if (host.name.empty() || host.address.empty() || !CacheFile::isCleanField(host.name)
            || !CacheFile::isCleanField(host.workgroup) || !CacheFile::isCleanField(host.address))
            continue;
        byKey[keyOf(host)] = Entry{host, now};
    }
    std::vector<CacheFile::Fields> lines;
    for (const auto& [key, entry] : byKey)
        lines.push_back({std::to_string(entry.seen), std::to_string(static_cast<int>(entry.host.source)),
                         entry.host.name, entry.host.workgroup, entry.host.isDomain ? "1" : "0", entry.host.address});
    return m_file.replace(lines);
}

} // namespace qv
