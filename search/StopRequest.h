// The stop request and the pause hold of one search, read by the walks at every step boundary.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace qv {

class StopRequest final {
public:
    // Asks the walks to end; a held worker is let go so that it sees the request.
    void request();
    bool isRequested() const { return m_stop.load(std::memory_order_acquire); }

    // Holds the worker at its next step boundary until resume() or request().
    void pause();
    void resume();
    bool isPaused() const { return m_paused.load(std::memory_order_acquire); }

    // Called by the walks between two steps: waits while paused, then answers
    // whether the walk must end. Holding here never holds a lock the
    // user-interface thread needs.
    bool shouldStop();

    void reset();

    // Called (on the requesting thread) each time the stop is requested: ends what
    // cannot see the request by itself, such as an SMB call blocked on a silent server.
    void setOnRequest(std::function<void()> onRequest);
    // One more such hook, beside that one (the helpers of a walk that runs in
    // parallel); called at once when the stop was requested already.
    void addOnRequest(std::function<void()> onRequest);

private:
    std::function<void()> m_onRequest;
    std::vector<std::function<void()>> m_moreOnRequest;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_paused{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
};

} // namespace qv
