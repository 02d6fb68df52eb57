// The worker of one search: a thread of its own that runs the walk for the place
// and the type, with the stop request and the pause hold that the walks obey.
#pragma once

#include "search/SearchCriteria.h"
#include "search/StopRequest.h"

#include <atomic>
#include <functional>
#include <thread>

namespace qv {

class FileSystem;
class FileTypeInfo;
class NetworkEnumerator;
class SearchSink;
struct SearchState;

class CQVThread final {
public:
    // Everything one search works with. The referenced objects must outlive the
    // worker object (not only its run): the destructor may still wait for the thread.
    struct Job {
        SearchCriteria criteria;
        SearchTarget target;
        FileSystem& localFiles;
        FileSystem* networkFiles = nullptr;     // nullptr: network folders are not walked
        NetworkEnumerator* enumerator = nullptr; // nullptr: network levels are not walked
        FileTypeInfo& fileTypes;
        SearchSink& sink;
        SearchState& state;
    };

    enum class Outcome {
        Completed, // the walk ran to its end; the count text was shown
        Stopped,   // the stop request ended it; the count text was shown
        Failed,    // an error escaped the walk; no count text
    };

    explicit CQVThread(Job job);
    // Stops and waits for a thread that still runs, so that nothing outlives the job.
    ~CQVThread();
    CQVThread(const CQVThread&) = delete;
    CQVThread& operator=(const CQVThread&) = delete;

    // Called on the worker thread as the very last thing it does, once per start.
    // Set before start().
    void setOnFinished(std::function<void(Outcome)> onFinished) { m_onFinished = std::move(onFinished); }
    // Called on the requesting thread by requestStop(): ends what cannot see the stop
    // by itself (an SMB call waiting on a silent server). Set before start().
    void setOnStopRequest(std::function<void()> onStop) { m_stop.setOnRequest(std::move(onStop)); }

    // Starts the thread; a worker starts once.
    void start();
    // Asks the walk to end at its next step; a paused worker is let go to see it.
    void requestStop();
    // Holds the worker at its next step boundary; resume() lets it go on.
    void pause();
    void resume();

    bool isStopRequested() const { return m_stop.isRequested(); }
    bool isPaused() const { return m_stop.isPaused(); }
    // True from start() until the worker has done its work (the finished callback
    // runs after this turns false).
    bool isRunning() const { return m_running.load(std::memory_order_acquire); }
    // What the run gave; meaningful once isRunning() is false after a start.
    Outcome outcome() const { return m_outcome.load(std::memory_order_acquire); }

private:
    void run();

    Job m_job;
    StopRequest m_stop;
    std::function<void(Outcome)> m_onFinished;
    std::atomic<bool> m_running{false};
    std::atomic<Outcome> m_outcome{Outcome::Completed};
    std::thread m_thread;
};

} // namespace qv
