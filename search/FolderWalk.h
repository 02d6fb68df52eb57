// The walk of one folder tree: every entry that fits a name pattern and the
// size, time and content conditions becomes a row.
#pragma once

#include "search/ContentMatcher.h"
#include "search/NamePattern.h"

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

    // Walks the tree under the root; false when the stop request ended it.
    // Folders that cannot be opened are passed over.
    bool walk(const std::string& walkRoot);

private:
    // Listings above this depth stay open while the walk is below them, so that
    // sub-folders are opened through their parent; deeper ones let go first.
    static constexpr int kDeepestHeldListing = 32;

    bool walkFolder(const std::string& relative, FolderListing& listing, int depth);
    bool testEntries(const std::string& folderPath, FolderListing& listing, std::size_t patternIndex,
                     std::string& matchText);
    bool passes(FileEntry& entry, FolderListing& listing, const std::string& fullPath, std::string& matchText);
    void addRow(const FileEntry& entry, const std::string& folderPath, std::size_t patternIndex,
                const std::string& matchText);
    void showFolderStatus(const std::string& relative);

    const SearchCriteria& m_criteria;
    SearchState& m_state;
    Services m_services;
    ContentMatcher m_content;
    std::vector<NamePattern> m_patterns;
    std::string m_walkRoot;
    char m_separator;
};

} // namespace qv
