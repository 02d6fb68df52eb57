// The search criteria: what the walks and the content match read while a search runs.
#pragma once

#include "search/NamePattern.h"
#include "search/SearchPlace.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct SearchCriteria {
    bool subFolders = true;
    bool containing = false;
    bool documents = true; // office documents and PDFs are searched by their text
    std::string containingText;               // lower-cased, without its closing ";"
    std::vector<std::string> containingStrings; // lower-cased
    std::string nameText;                     // lower-cased, without its closing ";"
    std::vector<std::string> nameParts;       // upper-cased, blanks kept
    std::vector<std::string> namePatterns;    // upper-cased wildcard patterns, one per part
    std::string lookInPath;
    int typeIndex = 0;
    int typeMask = 255;
    int walkDepth = 3;
    bool optionsShown = false;
    bool sizeCondition = false;
    bool timeCondition = false;
    int timeType = 0;
    std::int64_t startTime = 0; // seconds since 1970, inclusive
    std::int64_t endTime = 0;   // seconds since 1970, inclusive
    std::int64_t minimumKb = 0; // inclusive
    std::int64_t maximumKb = 0; // inclusive

    bool timeConditionApplies() const { return optionsShown && timeCondition; }
    bool sizeConditionApplies() const { return optionsShown && sizeCondition; }
};

// What a search takes from the place when it starts: its own copies, so that the
// tree's later selection changes never reach a running walk.
struct SearchTarget {
    int level = LevelEntireNetwork;
    std::string walkRoot;
    bool local = false; // the walk root is a folder of this machine

    static SearchTarget of(const SearchPlace& place) { return {place.level, place.walkRoot, place.local}; }
};

} // namespace qv
