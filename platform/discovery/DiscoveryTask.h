// What LanDiscovery's poll loop asks of each discovery source: its descriptors, a
// step when something is ready or a timer is due, and the time of its next timer.
// Sources run side by side on one thread this way, with no Qt event loop.
#pragma once

#include "platform/discovery/DiscoveredHost.h"

#include <chrono>
#include <functional>
#include <vector>

#include <poll.h>

namespace qv {

class DiscoveryTask {
public:
    using Clock = std::chrono::steady_clock;
    using HostSink = std::function<void(const DiscoveredHost&)>;

    virtual ~DiscoveryTask() = default;

    // Opens the sockets and sends the first packets. False when the source can do
    // nothing on this machine (no suitable interface, no socket): it is then dropped.
    virtual bool start(Clock::time_point now) = 0;

    // Appends the descriptors to wait on and the events wanted.
    virtual void watch(std::vector<pollfd>& fds) const = 0;

    // Handles whatever is ready among fds (others' entries are ignored) and every
    // timer that is due at now; reports hosts found to the sink.
    virtual void advance(const std::vector<pollfd>& fds, Clock::time_point now) = 0;

    // When advance must run next even if no descriptor becomes ready.
    virtual Clock::time_point nextDue() const = 0;
};

} // namespace qv
