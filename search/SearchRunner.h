// The body of one search: picks the walk for the place and the type, runs it on
// the calling thread and reports the total.
#pragma once

#include <string>

namespace qv {

class FileSystem;
class FileTypeInfo;
class SearchSink;
class StopRequest;
struct SearchCriteria;
struct SearchState;
struct SearchTarget;

// The network-wide walk, where the build has one.
class NetworkSearch {
public:
    virtual ~NetworkSearch() = default;
    // Walks a network place of level 0 to 3; false when the stop request ended it.
    virtual bool walk(const SearchCriteria& criteria, const SearchTarget& target, SearchState& state) = 0;
};

class SearchRunner final {
public:
    struct Services {
        FileSystem& localFiles;
        FileSystem* networkFiles; // nullptr where the build has no network file system
        NetworkSearch* network;   // nullptr where the build has no network walk
        FileTypeInfo& fileTypes;
        SearchSink& sink;
        StopRequest& stop;
    };

    explicit SearchRunner(Services services) : m_services(services) {}

    enum class Walk { Folder, Network, Nothing };
    // Which walk a place of that level runs for a type of that walk depth.
    static Walk walkFor(int level, int walkDepth);

    // Runs the walk; true when it ran to its end (or had nothing to walk), false
    // when the stop request ended it. Shows the count text at the end either way,
    // unless the place itself could not be searched (state.placeFailed): the sink has
    // been told why, and a count would read as a search that found nothing.
    bool run(const SearchCriteria& criteria, const SearchTarget& target, SearchState& state);

    // "N個見つかりました".
    static std::string countText(long long count);

private:
    Services m_services;
};

} // namespace qv
