// The file: a header line, then one line per computer: workgroup, name, whether help
// pays ("1", "0", or empty when not known) and when that was found, separated by tabs.
#include "platform/ComputerListCache.h"

#include <cstdlib>
#include <ctime>

namespace qv {
namespace {

constexpr const char* kHeader = "quendle-computers 1";

std::string withoutBackslashes(const std::string& computer)
{
    return computer.rfind("\\\\", 0) == 0 ? computer.substr(2) : std::string();
}

} // namespace

std::string ComputerListCache::defaultPath() { return CacheFile::defaultPath("computers.tsv"); }

ComputerListCache::ComputerListCache(std::string path) : m_file(std::move(path), kHeader) {}

std::int64_t ComputerListCache::currentTime() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::vector<ComputerListCache::Entry> ComputerListCache::load(std::int64_t now) const
{
    std::vector<Entry> entries;
    for (const CacheFile::Fields& fields : m_file.read(4, kMostEntries)) {
        if (!CacheFile::isCleanField(fields[0]) || fields[1].empty() || !CacheFile::isCleanField(fields[1]))
            continue;
        Entry entry{fields[0], "\\\\" + fields[1]};
        char* end = nullptr;
        const long long foundAt = std::strtoll(fields[3].c_str(), &end, 10);
        const bool fresh = end != fields[3].c_str() && *end == '\0' && foundAt <= now && now - foundAt < kHelpKeptFor;
        if (fresh && (fields[2] == "1" || fields[2] == "0")) {
            entry.helpPays = fields[2] == "1";
            entry.helpFoundAt = foundAt;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool ComputerListCache::save(const std::vector<Entry>& entries) const
{
    std::vector<CacheFile::Fields> lines;
    for (const Entry& entry : entries) {
        const std::string name = withoutBackslashes(entry.computer);
        if (lines.size() < kMostEntries && !name.empty() && CacheFile::isCleanField(name)
            && CacheFile::isCleanField(entry.workgroup))
            lines.push_back({entry.workgroup, name, entry.helpPays ? (*entry.helpPays ? "1" : "0") : "",
                             entry.helpPays ? std::to_string(entry.helpFoundAt) : ""});
    }
    return m_file.replace(lines);
}

} // namespace qv
