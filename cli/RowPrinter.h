// qvsearch's sink: rows to standard output as they come, status texts to a terminal,
// and at the end the places that could not be searched.
#pragma once

#include "cli/QvSearchOptions.h"
#include "results/SearchSink.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class RowPrinter final : public SearchSink {
public:
    // Status texts go to statusStream only when showProgress is set; the last one
    // (the count) is written by finish(). With `verbose`, finish() also names each
    // place inside the walk that could not be searched, not just how many.
    RowPrinter(std::FILE* rows, std::FILE* statusStream, QvSearchOptions::Format format, bool showProgress,
               bool verbose = false);

    void addRow(ResultRow row) override;
    void showStatus(const std::string& text) override;
    void placeFailed(const PlaceFailure& failure) override;

    // Called once, on the thread that finds that the rows cannot be written: the
    // search should stop, as nothing it finds can be shown. Set before the search.
    void setOnWriteFailure(std::function<void()> onFailure) { m_onWriteFailure = std::move(onFailure); }

    // Flushes the rows. Then, unless they could not be written: the places inside the
    // walk that could not be searched (counted, or each with `verbose`), what kept the
    // search from its place or a helper from starting, and, with showCount, the last
    // status text (the count), each on a line of its own.
    void finish(bool showCount);

    // The errno value of the write that failed (EPIPE: the reader closed the pipe);
    // 0 while every row was written.
    int writeError() const;
    // The search's own place could not be searched, or a helper could not be started.
    bool placeNotSearched() const;

    // The text as it fits on one terminal line of `columns` columns: a wide character
    // counts two, control characters and bytes that are no UTF-8 show as "?", and a
    // text that is too long ends in "…".
    static std::string fitToColumns(const std::string& text, int columns);

    static std::string tsvLine(const ResultRow& row);
    static std::string jsonLine(const ResultRow& row);
    // The full path as the file system or the network has it, the real bytes where the
    // row keeps them: a local folder's "/" between folder and name, "\\HOST" for a
    // computer, the name alone for a workgroup.
    static std::string fullPathBytes(const ResultRow& row);
    // "2 folders could not be read", a line per kind of place, for the failures inside
    // the walk (the helper's own faults aside).
    static std::vector<std::string> failureSummary(const std::vector<PlaceFailure>& failures);

private:
    void writeFailed(int error);
    // The width of the status terminal; 80 when it does not say.
    int statusColumns() const;

    std::FILE* m_rows;
    std::FILE* m_status;
    QvSearchOptions::Format m_format;
    bool m_showProgress;
    bool m_verbose;
    std::function<void()> m_onWriteFailure;
    mutable std::mutex m_mutex;
    std::string m_lastStatus;
    std::chrono::steady_clock::time_point m_lastShown{};
    int m_writeError = 0;
    std::vector<PlaceFailure> m_inside;       // places inside the walk
    std::optional<PlaceFailure> m_notSearched; // the search's own place, or the first helper fault
};

} // namespace qv
