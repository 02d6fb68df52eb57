// One of the programs' files in the user's cache folder: a header line that names its
// kind and version, then one tab-separated line per entry. What the programs learnt
// of the LAN is kept there between runs; a damaged file costs only what it held.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qv {

class CacheFile final {
public:
    using Fields = std::vector<std::string>;

    // $XDG_CACHE_HOME/quendle/<name>, else ~/.cache/quendle/<name>; empty when
    // neither folder is known.
    static std::string defaultPath(const std::string& name);

    CacheFile(std::string path, std::string header);

    // The lines after the header that have `fieldCount` fields, at most `mostLines`
    // of them; none when the file is missing or its header is not this kind's.
    std::vector<Fields> read(std::size_t fieldCount, std::size_t mostLines = kMostLines) const;
    // Replaces the file whole (through a temporary file beside it, so that a reader
    // never sees half of it), making its folders first. False when it could not be
    // written, or a field holds a tab or a line end.
    bool replace(const std::vector<Fields>& lines) const;

    // A name or address fit to be kept: no control character, slash or backslash, and
    // at most 255 bytes.
    static bool isCleanField(const std::string& text);

    const std::string& path() const { return m_path; }

    static constexpr std::size_t kMostLines = 100000;

private:
    std::string m_path;
    std::string m_header;
};

} // namespace qv
