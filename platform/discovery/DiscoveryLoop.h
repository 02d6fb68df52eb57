// The poll loop that runs discovery sources side by side on the calling thread until
// a deadline or a cancel, with no Qt event loop.
#pragma once

#include "platform/discovery/DiscoveryTask.h"

#include <atomic>
#include <memory>
#include <vector>

namespace qv {

class DiscoveryLoop final {
public:
    // The longest single wait, so that a cancel is seen well within 50 ms.
    static constexpr std::chrono::milliseconds kLongestWait{20};

    // Starts every task (dropping those that cannot start) and drives the rest until
    // deadline or until *cancel turns true. Returns at once when no task starts.
    static void run(std::vector<std::unique_ptr<DiscoveryTask>>& tasks, DiscoveryTask::Clock::time_point deadline,
                    const std::atomic<bool>* cancel);
};

} // namespace qv
