// The file: a header line, then one line per computer: workgroup, tab, name.
#include "platform/ComputerListCache.h"

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

std::vector<ComputerListCache::Entry> ComputerListCache::load() const
{
    std::vector<Entry> entries;
    for (const CacheFile::Fields& fields : m_file.read(2, kMostEntries))
        if (CacheFile::isCleanField(fields[0]) && !fields[1].empty() && CacheFile::isCleanField(fields[1]))
            entries.push_back({fields[0], "\\\\" + fields[1]});
    return entries;
}

bool ComputerListCache::save(const std::vector<Entry>& entries) const
{
    std::vector<CacheFile::Fields> lines;
    for (const Entry& entry : entries) {
        const std::string name = withoutBackslashes(entry.computer);
        if (lines.size() < kMostEntries && !name.empty() && CacheFile::isCleanField(name)
            && CacheFile::isCleanField(entry.workgroup))
            lines.push_back({entry.workgroup, name});
    }
    return m_file.replace(lines);
}

} // namespace qv
