#include "search/SearchPlace.h"

#include "resources/StringTable.h"

#include <algorithm>

namespace qv {

SearchPlace SearchPlace::localFolder(const std::string& path)
{
    SearchPlace place;
    place.placePath = path;
    place.local = true;
    place.level = LevelFolder;
    place.walkRoot = path;
    while (place.walkRoot.size() > 1 && place.walkRoot.back() == '/')
        place.walkRoot.pop_back();
    if (place.walkRoot == "/")
        place.walkRoot.clear(); // entries then read "/name"
    return place;
}

SearchPlace SearchPlace::fromText(const std::string& text)
{
    SearchPlace place;
    place.placePath = text;
    if (text.empty() || text == loadString(IDS_ENTIRE_NETWORK)) {
        place.level = LevelEntireNetwork;
        return place;
    }
    if (text.find('/') != std::string::npos || text.front() == '.')
        return localFolder(text);
    if (text.size() < 2 || text[0] != '\\' || text[1] != '\\') {
        place.level = LevelWorkgroup;
        return place;
    }
    std::string path = text;
    while (path.size() > 2 && path.back() == '\\')
        path.pop_back();
    place.placePath = path;
    // "\\HOST" is a computer; each further component goes one level deeper.
    const auto separators = std::count(path.begin() + 2, path.end(), '\\');
    place.level = LevelComputer + static_cast<int>(separators);
    if (place.level >= LevelShare)
        place.walkRoot = path;
    return place;
}

} // namespace qv
