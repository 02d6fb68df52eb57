// A sink that keeps every row in a result list (for the report) and passes rows
// and status texts on to the printer.
#pragma once

#include "results/ResultRowList.h"
#include "results/SearchSink.h"

#include <mutex>

namespace qv {

class RowCollector final : public SearchSink {
public:
    explicit RowCollector(SearchSink& next) : m_next(next) {}

    void addRow(ResultRow row) override;
    void showStatus(const std::string& text) override { m_next.showStatus(text); }
    void placeFailed(const PlaceFailure& failure) override { m_next.placeFailed(failure); }

    // Read once the search has ended.
    const ResultRowList& rows() const { return m_rows; }

private:
    SearchSink& m_next;
    std::mutex m_mutex;
    ResultRowList m_rows;
};

} // namespace qv
