// qvsearch's sink: rows to standard output as they come, status texts to a terminal.
#pragma once

#include "cli/QvSearchOptions.h"
#include "results/SearchSink.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace qv {

class RowPrinter final : public SearchSink {
public:
    // Status texts go to statusStream only when showProgress is set; the last
    // one (the count) is always written, by finish().
    RowPrinter(std::FILE* rows, std::FILE* statusStream, QvSearchOptions::Format format, bool showProgress);

    void addRow(ResultRow row) override;
    void showStatus(const std::string& text) override;
    // Flushes the rows and writes the last status text on a line of its own.
    void finish();

    static std::string tsvLine(const ResultRow& row);
    static std::string jsonLine(const ResultRow& row);

private:
    std::FILE* m_rows;
    std::FILE* m_status;
    QvSearchOptions::Format m_format;
    bool m_showProgress;
    std::mutex m_mutex;
    std::string m_lastStatus;
    std::chrono::steady_clock::time_point m_lastShown{};
};

} // namespace qv
