// The computer step of the network walk: the computer's shares and printers become
// rows when their names fit, and each share is searched by the folder walk.
#pragma once

#include "search/FolderWalk.h"

#include <exception>
#include <string>

namespace qv {

class FileSystem;
class FileTypeInfo;
class NetworkEnumerator;
class NetworkRows;
class SearchSink;
class StopRequest;
struct SearchCriteria;
struct SearchState;

class ComputerWalk final {
public:
    struct Services {
        NetworkEnumerator& enumerator;
        FileSystem& shareFiles; // "\\HOST\share\..." paths
        FileTypeInfo& fileTypes;
        SearchSink& sink;
        StopRequest& stop;
    };

    ComputerWalk(const SearchCriteria& criteria, SearchState& state, const NetworkRows& rows, Services services);

    // The computer "\\NAME" of the workgroup; false when the stop request ended it.
    // `searchPlace`: the computer is the place the search was asked for, rather than
    // one met inside its walk; a computer that cannot be listed is told to the sink
    // either way.
    bool walk(const std::string& workgroup, const std::string& computer, bool searchPlace = false);
    // One share "\\\\NAME\\share" (a share place, or a share of the computer walked).
    // A printer share of a computer is walked too, but that it holds no folders is no
    // failure.
    bool walkShare(const std::string& workgroup, const std::string& share, bool searchPlace = false,
                   bool printer = false);

    // Tells the sink of a container the enumerator could not open (or whose list an
    // error inside a step ended), unless a stop was the cause. Shared with the walk
    // above the computers.
    static void reportOpenFailure(NetworkEnumerator& enumerator, SearchState& state, SearchSink& sink,
                                  const StopRequest& stop, const std::string& place, PlaceFailure::Kind kind,
                                  bool searchPlace);
    static void reportStepError(SearchState& state, SearchSink& sink, const std::string& place,
                                PlaceFailure::Kind kind, const std::exception& error);

private:
    const SearchCriteria& m_criteria;
    SearchState& m_state;
    const NetworkRows& m_rows;
    Services m_services;
    FolderWalk m_folderWalk;
};

} // namespace qv
