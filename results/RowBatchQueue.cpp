// The queue between a search's worker and the user-interface thread: bounded, in
// order, and closable so that a worker waiting for space can always be let go.
#include "results/RowBatchQueue.h"

#include <algorithm>

namespace qv {

RowBatchQueue::RowBatchQueue(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 1)) {}

void RowBatchQueue::addRow(ResultRow row)
{
    push(Event(std::in_place_index<0>, std::move(row)));
}

void RowBatchQueue::showStatus(const std::string& text)
{
    push(Event(std::in_place_index<1>, text));
}

void RowBatchQueue::placeFailed(const PlaceFailure& failure)
{
    push(Event(std::in_place_index<2>, failure));
}

void RowBatchQueue::setOnPending(std::function<void()> onPending)
{
    std::lock_guard lock(m_mutex);
    m_onPending = std::move(onPending);
}

void RowBatchQueue::push(Event event)
{
    std::function<void()> wake;
    {
        std::unique_lock lock(m_mutex);
        m_space.wait(lock, [this] { return m_closed || m_events.size() < m_capacity; });
        if (m_closed)
            return;
        const bool wasEmpty = m_events.empty();
        m_events.push_back(std::move(event));
        if (wasEmpty)
            wake = m_onPending;
    }
    // Called outside the lock: the wake-up may post to another thread, which must
    // never wait for this lock while the worker waits for it.
    if (wake)
        wake();
}

std::vector<RowBatchQueue::Event> RowBatchQueue::drain(std::size_t maxEvents)
{
    std::vector<Event> out;
    {
        std::lock_guard lock(m_mutex);
        const std::size_t n = std::min(maxEvents, m_events.size());
        out.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            out.push_back(std::move(m_events.front()));
            m_events.pop_front();
        }
    }
    if (!out.empty())
        m_space.notify_all();
    return out;
}

std::size_t RowBatchQueue::pending() const
{
    std::lock_guard lock(m_mutex);
    return m_events.size();
}

void RowBatchQueue::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        // What waits is not wanted either: nobody will show it.
        m_events.clear();
    }
    m_space.notify_all();
}

void RowBatchQueue::reopen()
{
    std::lock_guard lock(m_mutex);
    m_closed = false;
}

std::size_t RowBatchQueue::drainBudget(std::int64_t rowsShown)
{
    constexpr std::size_t kShortListBudget = 800;
    const auto share = static_cast<std::size_t>(rowsShown > 0 ? rowsShown / 64 : 0);
    return std::clamp(share, kShortListBudget, kMaxDrainBudget);
}

} // namespace qv
