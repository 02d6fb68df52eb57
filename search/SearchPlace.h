// The place a search starts from, as the location tree (or qvsearch) chooses it.
#pragma once

#include <string>

namespace qv {

enum SearchLevel : int {
    LevelEntireNetwork = 0,
    LevelWorkgroup = 1,
    LevelComputer = 2,
    LevelShare = 3,
    LevelFolder = 4, // and deeper
};

struct SearchPlace {
    int level = LevelEntireNetwork;
    std::string placePath; // shown in the place box; becomes the look-in path
    std::string walkRoot;  // for shares and folders: the path the folder walk starts at
    bool local = false;    // a folder of this machine rather than of the network

    // The place a text names: empty or "ネットワーク全体" the entire network, a bare
    // name a workgroup, "\\HOST" a computer, "\\HOST\share" a share and deeper a
    // folder; a text holding "/" or starting with "." a local folder.
    static SearchPlace fromText(const std::string& text);
    // A folder of this machine, as given (less trailing "/"s).
    static SearchPlace localFolder(const std::string& path);

    friend bool operator==(const SearchPlace&, const SearchPlace&) = default;
};

} // namespace qv
