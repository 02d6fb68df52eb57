// One poll() over every source's descriptors, woken by the earliest timer.
#include "platform/discovery/DiscoveryLoop.h"

#include <algorithm>
#include <cerrno>

namespace qv {

void DiscoveryLoop::run(std::vector<std::unique_ptr<DiscoveryTask>>& tasks, DiscoveryTask::Clock::time_point deadline,
                        const std::atomic<bool>* cancel)
{
    using Clock = DiscoveryTask::Clock;
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    if (cancelled())
        return;
    const Clock::time_point started = Clock::now();
    std::erase_if(tasks, [&](const std::unique_ptr<DiscoveryTask>& task) { return !task->start(started); });
    std::vector<pollfd> fds;
    while (!tasks.empty()) {
        Clock::time_point now = Clock::now();
        if (now >= deadline || cancelled())
            return;
        fds.clear();
        Clock::time_point wake = std::min(deadline, now + kLongestWait);
        for (const auto& task : tasks) {
            task->watch(fds);
            wake = std::min(wake, task->nextDue());
        }
        // At least 1 ms: a timer left in the past by mistake must not make the loop spin.
        const auto wait = std::max(std::chrono::ceil<std::chrono::milliseconds>(wake - now), std::chrono::milliseconds(1));
        const int rc = ::poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
        if (rc < 0 && errno != EINTR)
            return;
        if (rc <= 0) {
            for (pollfd& p : fds)
                p.revents = 0;
        }
        now = Clock::now();
        for (const auto& task : tasks)
            task->advance(fds, now);
    }
}

} // namespace qv
