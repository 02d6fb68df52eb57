// The worker of one search: runs SearchRunner on its own thread and reports its end.
#include "search/CQVThread.h"

#include "network/NetworkWalk.h"
#include "search/SearchRunner.h"

#include <memory>

namespace qv {

CQVThread::CQVThread(Job job) : m_job(std::move(job)) {}

CQVThread::~CQVThread()
{
    if (m_thread.joinable()) {
        if (isRunning())
            m_stop.request();
        m_thread.join();
    }
}

void CQVThread::start()
{
    if (m_thread.joinable())
        return;
    m_running.store(true, std::memory_order_release);
    m_thread = std::thread([this] { run(); });
}

void CQVThread::requestStop()
{
    m_stop.request();
}

void CQVThread::pause()
{
    m_stop.pause();
}

void CQVThread::resume()
{
    m_stop.resume();
}

void CQVThread::run()
{
    Outcome outcome = Outcome::Completed;
    try {
        std::unique_ptr<NetworkWalk> network;
        if (m_job.enumerator && m_job.networkFiles)
            network = std::make_unique<NetworkWalk>(NetworkWalk::Services{
                *m_job.enumerator, *m_job.networkFiles, m_job.fileTypes, m_job.sink, m_stop});
        SearchRunner runner({m_job.localFiles, m_job.networkFiles, network.get(), m_job.fileTypes, m_job.sink, m_stop});
        // The runner shows the count text itself; an error escaping the walk skips it.
        outcome = runner.run(m_job.criteria, m_job.target, m_job.state) ? Outcome::Completed : Outcome::Stopped;
    } catch (...) {
        // Nothing is shown for an error inside a search: the walk just ends.
        outcome = Outcome::Failed;
    }
    m_outcome.store(outcome, std::memory_order_release);
    m_running.store(false, std::memory_order_release);
    // The callback is the last use of this object on this thread: once it has posted
    // the end to the window, the owner may release the object (its destructor joins).
    if (m_onFinished)
        m_onFinished(outcome);
}

} // namespace qv
