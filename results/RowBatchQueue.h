// A sink that carries a search's rows and status texts from the worker to the
// user-interface thread, in order and in batches.
#pragma once

#include "results/SearchSink.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

namespace qv {

class RowBatchQueue final : public SearchSink {
public:
    // A row, a status text or a place that could not be searched, in the order the
    // search gave them.
    using Event = std::variant<ResultRow, std::string, PlaceFailure>;

    // At most `capacity` events wait; a worker that finds the queue full waits until
    // the user-interface thread drains it (or until close()), so memory stays bounded
    // and the worker never runs far ahead of what the window shows.
    explicit RowBatchQueue(std::size_t capacity = 20000);

    void addRow(ResultRow row) override;
    void showStatus(const std::string& text) override;
    void placeFailed(const PlaceFailure& failure) override;

    // Called on the worker thread when the queue goes from empty to not empty, so
    // that the user-interface thread can be woken (for example with a queued call).
    void setOnPending(std::function<void()> onPending);

    // Takes up to maxEvents events, oldest first. User-interface thread.
    std::vector<Event> drain(std::size_t maxEvents);
    std::size_t pending() const;

    // How many events one drain should take while the list shows `rowsShown` rows.
    // Each insertion costs the list view time in proportion to the rows it already
    // shows, so a long list takes bigger batches: 800 while the list is short, then a
    // 64th of it, up to kMaxDrainBudget. A turn of the event loop stays short either way.
    static std::size_t drainBudget(std::int64_t rowsShown);
    static constexpr std::size_t kMaxDrainBudget = 16384;

    // Lets a waiting worker go and makes further events be dropped, with those still
    // waiting (the window is closing or the search was stopped and its rest is not
    // wanted); reopen() undoes it.
    void close();
    void reopen();

private:
    void push(Event event);

    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_space;
    std::deque<Event> m_events;
    std::function<void()> m_onPending;
    bool m_closed = false;
};

} // namespace qv
