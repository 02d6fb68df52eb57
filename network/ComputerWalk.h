// The computer step of the network walk: the computer's shares and printers become
// rows when their names fit, and each share is searched by the folder walk.
#pragma once

#include "search/FolderWalk.h"

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
    bool walk(const std::string& workgroup, const std::string& computer);
    // One share "\\NAME\share" (a share place, or a share of the computer walked).
    bool walkShare(const std::string& workgroup, const std::string& share);

private:
    const SearchCriteria& m_criteria;
    SearchState& m_state;
    const NetworkRows& m_rows;
    Services m_services;
    FolderWalk m_folderWalk;
};

} // namespace qv
