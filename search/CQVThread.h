// The worker of one search: a thread of its own that runs a search job, with the stop
// request and the pause hold that the walks obey.
#pragma once

#include "search/SearchJob.h"

#include <atomic>
#include <functional>
#include <thread>

namespace qv {

class CQVThread final {
public:
    using Outcome = SearchJob::Outcome;

    // The job must outlive the worker object (not only its run): the destructor may
    // still wait for the thread.
    explicit CQVThread(SearchJob& job) : m_job(job) {}
    // Stops and waits for a thread that still runs, so that nothing outlives the job.
    ~CQVThread();
    CQVThread(const CQVThread&) = delete;
    CQVThread& operator=(const CQVThread&) = delete;

    // Called on the worker thread as the very last thing it does, once per start.
    // Set before start().
    void setOnFinished(std::function<void(Outcome)> onFinished) { m_onFinished = std::move(onFinished); }

    // Starts the thread; a worker starts once.
    void start();
    // Asks the walk to end at its next step; a paused worker is let go to see it.
    void requestStop() { m_job.stop().request(); }
    // Holds the worker at its next step boundary; resume() lets it go on.
    void pause() { m_job.stop().pause(); }
    void resume() { m_job.stop().resume(); }

    bool isStopRequested() const { return m_job.stop().isRequested(); }
    bool isPaused() const { return m_job.stop().isPaused(); }
    // True from start() until the worker has done its work (the finished callback
    // runs after this turns false).
    bool isRunning() const { return m_running.load(std::memory_order_acquire); }
    // What the run gave; meaningful once isRunning() is false after a start.
    Outcome outcome() const { return m_outcome.load(std::memory_order_acquire); }

private:
    void run();

    SearchJob& m_job;
    std::function<void(Outcome)> m_onFinished;
    std::atomic<bool> m_running{false};
    std::atomic<Outcome> m_outcome{Outcome::Completed};
    std::thread m_thread;
};

} // namespace qv
