// The cache file: a header line, then one tab-separated line per host:
// seen, source, name, workgroup, domain flag, address.
#include "platform/DiscoveryCache.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

constexpr const char* kHeader = "quendle-hosts 1";

bool cleanField(const std::string& text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '\\' || c == '/')
            return false;
    }
    return text.size() <= 255;
}

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

bool makeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

std::string keyOf(const DiscoveredHost& host)
{
    std::string key = std::to_string(static_cast<int>(host.source)) + "\t";
    for (const char c : host.name)
        key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return key;
}

} // namespace

std::string DiscoveryCache::defaultPath()
{
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        return std::string(xdg) + "/quendle/hosts.tsv";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.cache/quendle/hosts.tsv";
    return {};
}

DiscoveryCache::DiscoveryCache(std::string path) : m_path(std::move(path)) {}

std::int64_t DiscoveryCache::currentTime() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::vector<DiscoveryCache::Entry> DiscoveryCache::readAll() const
{
    std::vector<Entry> entries;
    if (m_path.empty())
        return entries;
    std::ifstream in(m_path);
    std::string line;
    if (!std::getline(in, line) || line != kHeader)
        return entries;
    while (std::getline(in, line)) {
        const auto fields = splitTabs(line);
        if (fields.size() != 6)
            continue;
        Entry entry;
        char* end = nullptr;
        errno = 0;
        entry.seen = std::strtoll(fields[0].c_str(), &end, 10);
        const long source = std::strtol(fields[1].c_str(), nullptr, 10);
        if (errno != 0 || end == fields[0].c_str() || *end != '\0' || source < 0
            || source > static_cast<long>(DiscoverySource::DnsSd) || fields[2].empty() || !cleanField(fields[2])
            || !cleanField(fields[3]) || (fields[4] != "0" && fields[4] != "1") || fields[5].empty()
            || !cleanField(fields[5]))
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
    if (m_path.empty())
        return false;
    std::map<std::string, Entry> byKey;
    for (Entry& entry : readAll())
        if (entry.seen <= now && now - entry.seen < kKeptFor.count())
            byKey[keyOf(entry.host)] = std::move(entry);
    for (const DiscoveredHost& host : hosts) {
        if (host.name.empty() || host.address.empty() || !cleanField(host.name) || !cleanField(host.workgroup)
            || !cleanField(host.address))
            continue;
        byKey[keyOf(host)] = Entry{host, now};
    }
    if (!makeFolders(m_path))
        return false;
    const std::string temporary = m_path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << kHeader << '\n';
        for (const auto& [key, entry] : byKey)
            out << entry.seen << '\t' << static_cast<int>(entry.host.source) << '\t' << entry.host.name << '\t'
                << entry.host.workgroup << '\t' << (entry.host.isDomain ? 1 : 0) << '\t' << entry.host.address << '\n';
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), m_path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace qv
