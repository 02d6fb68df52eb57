// One entry of a folder listing: name, kind, size and the three file times.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

struct FileEntry {
    std::string name;          // bytes as the file system gives them; no path
    bool isFolder = false;     // a folder (a link to one counts, for its row)
    bool isLink = false;       // a symbolic link: reported as an entry, never entered
    bool isSpecial = false;    // a pipe, socket or device: never read
    bool hasDetails = false;   // size and times below are filled
    std::int64_t size = 0;     // bytes
    std::int64_t created = -1; // seconds since 1970 UTC; -1 where the file system keeps none
    std::int64_t written = -1;
    std::int64_t accessed = -1;
};

} // namespace qv
