// Where a search's rows and status texts go: the result list, qvsearch's printer, a test's recorder.
#pragma once

#include "results/ResultRow.h"

#include <string>

namespace qv {

class SearchSink {
public:
    virtual ~SearchSink() = default;
    // A new row for the top of the list; the list gives it its key.
    virtual void addRow(ResultRow row) = 0;
    // One line of progress for the status bar.
    virtual void showStatus(const std::string& text) = 0;
};

} // namespace qv
