// The location tree's own thread: runs its listings one after another, in the order
// they were posted, so that the window never waits for a server.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace qv {

class LocationWorker final {
public:
    LocationWorker() = default;
    // Stops as stop() does.
    ~LocationWorker();
    LocationWorker(const LocationWorker&) = delete;
    LocationWorker& operator=(const LocationWorker&) = delete;

    // Queues a job; the thread starts with the first one. Ignored after stop().
    void post(std::function<void()> job);

    // Drops the jobs not yet started and waits for the running one to return: the
    // caller makes it return soon (it aborts the listing) before it calls this.
    void stop();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace qv
