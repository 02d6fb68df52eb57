// One search from its start to its count text: a copy of the criteria and the place,
// the state its walks share, the services it walks with, and its stop request.
#pragma once

#include "search/SearchCriteria.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"

#include <functional>
#include <memory>
#include <string>

namespace qv {

class FileSystem;
class FileTypeInfo;
class NetworkSearch;
class SearchSink;

class SearchJob final {
public:
    // What a job walks with. The network walk lives above the engine's search layer:
    // whoever builds the job (SearchJobBuilder) says how to make one.
    struct Services {
        std::shared_ptr<FileSystem> localFiles;
        std::shared_ptr<FileSystem> networkFiles; // nullptr: network folders are not walked
        std::shared_ptr<FileTypeInfo> fileTypes;
        // The network-wide walk for this job's sink and stop request; empty: network
        // levels are not walked.
        std::function<std::unique_ptr<NetworkSearch>(SearchSink&, StopRequest&)> makeNetworkWalk;
        // Ends what cannot see the stop request by itself (an SMB call waiting on a
        // silent server); runs on the thread that asks for the stop.
        std::function<void()> abort;
    };

    enum class Outcome {
        Completed,   // the walk ran to its end; the count text was shown
        Stopped,     // the stop request ended it; the count text was shown
        PlaceFailed, // the place itself could not be searched; the sink was told why, no count text
        Failed,      // an error escaped the walk (errorText() says which); no count text
    };

    SearchJob(SearchCriteria criteria, SearchTarget target, Services services, SearchSink& sink);
    SearchJob(const SearchJob&) = delete;
    SearchJob& operator=(const SearchJob&) = delete;

    // Walks on the calling thread; rows and texts go to the sink as they come.
    Outcome run();

    // Stop and pause, from any thread.
    StopRequest& stop() { return m_stop; }
    SearchState& state() { return m_state; }
    const SearchState& state() const { return m_state; }
    const SearchCriteria& criteria() const { return m_criteria; }
    // What ended a Failed run, in one line; read once run() has returned.
    const std::string& errorText() const { return m_errorText; }

private:
    SearchCriteria m_criteria;
    SearchTarget m_target;
    Services m_services;
    SearchSink& m_sink;
    SearchState m_state;
    StopRequest m_stop;
    std::string m_errorText;
};

} // namespace qv
