// Where a search's rows and status texts go: the result list, qvsearch's printer, a test's recorder.
#pragma once

#include "results/PlaceFailure.h"
#include "results/ResultRow.h"

#include <string>

namespace qv {

// The walks call a sink from the thread they run on; a sink that several walks share
// at once (a parallel network walk's) keeps its own order and locks.
class SearchSink {
public:
    virtual ~SearchSink() = default;
    // A new row for the top of the list; the list gives it its key.
    virtual void addRow(ResultRow row) = 0;
    // One line of progress for the status bar.
    virtual void showStatus(const std::string& text) = 0;
    // A place that could not be searched: the search's own place, or one met inside
    // its walk (which the list passes over in silence).
    virtual void placeFailed(const PlaceFailure& failure) = 0;
};

} // namespace qv
