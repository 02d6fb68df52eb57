// A sink that keeps every row and status text a search gives, for tests to look at.
#pragma once

#include "results/ResultRowList.h"
#include "results/SearchSink.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace qv::test {

class RecordingSink final : public SearchSink {
public:
    void addRow(ResultRow row) override
    {
        std::lock_guard lock(m_mutex);
        rows.add(std::move(row));
        if (onRow)
            onRow();
    }
    void showStatus(const std::string& text) override
    {
        std::lock_guard lock(m_mutex);
        statuses.push_back(text);
    }

    void placeFailed(const PlaceFailure& failure) override
    {
        std::lock_guard lock(m_mutex);
        failures.push_back(failure);
    }

    // "name|match" of every row, oldest first.
    std::vector<std::string> namesWithMatch() const
    {
        std::vector<std::string> out;
        for (std::int64_t i = rows.count() - 1; i >= 0; --i)
            out.push_back(rows.at(i).cell(Column::Name) + "|" + rows.at(i).cell(Column::Match));
        return out;
    }

    ResultRowList rows;
    std::vector<std::string> statuses;
    std::vector<PlaceFailure> failures;
    std::function<void()> onRow;

private:
    std::mutex m_mutex;
};

} // namespace qv::test
