// The walk of one folder tree: every entry that fits a name pattern and the
// size, time and content conditions becomes a row.
#pragma once

#include "search/ContentMatcher.h"
#include "search/NamePattern.h"
#include "search/NameText.h"
#include "results/PlaceFailure.h"

#include <string>
#include <vector>

namespace qv {

class FileSystem;
class FileTypeInfo;
class FolderListing;
class SearchSink;
class StopRequest;
struct FileEntry;
struct SearchCriteria;
struct SearchState;
struct ResultRow;

class FolderWalk final {
public:
    struct Services {
        FileSystem& fileSystem;
        FileTypeInfo& fileTypes;
        SearchSink& sink;
        StopRequest& stop;
    };

    FolderWalk(const SearchCriteria& criteria, SearchState& state, Services services);

    // Walks the tree under the root; false when the stop request ended it. A root
    // that cannot be listed ends the walk, and a sub-folder that cannot be listed is
    // passed over; the sink is told of both (the root as the search's own place, or
    // as a place of the kind given, met inside a larger walk), unless `tellRoot` is
    // cleared (a printer share, which holds no folders to list).
    bool walk(const std::string& walkRoot) { return walk(walkRoot, PlaceFailure::Kind::Folder, true); }
    bool walk(const std::string& walkRoot, PlaceFailure::Kind rootKind, bool rootIsSearchPlace, bool tellRoot = true);

private:
    // Listings above this depth stay open while the walk is below them, so that
    // sub-folders are opened through their parent; deeper ones let go first.
    static constexpr int kDeepestHeldListing = 32;

    // A folder by the path the walk reaches it at and as its rows' Path cell shows it.
    struct Folder {
        std::string path;
        std::string shown;
        bool shownAsIs;
    };

    bool walkFolder(const std::string& relative, const std::string& shownRelative, FolderListing& listing,
                    int depth);
    bool testEntries(const Folder& folder, FolderListing& listing, std::size_t patternIndex, std::string& matchText);
    bool nameFits(const NamePattern& pattern, const std::string& name);
    bool passes(FileEntry& entry, FolderListing& listing, const std::string& fullPath, std::string& matchText);
    void addRow(const FileEntry& entry, const Folder& folder, const std::string& fullPath, std::size_t patternIndex,
                const std::string& matchText);
    void showFolderStatus(const std::string& shownRelative);
    void reportFailure(const std::string& shownPath, PlaceFailure::Kind kind, int error, bool searchPlace);

    const SearchCriteria& m_criteria;
    SearchState& m_state;
    Services m_services;
    ContentMatcher m_content;
    std::vector<NamePattern> m_patterns;
    NameText m_names;
    std::string m_walkRoot;
    std::string m_shownRoot;
    char m_separator;
};

} // namespace qv
