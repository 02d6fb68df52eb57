// The worker of one search: runs its job on its own thread and reports its end.
#include "search/CQVThread.h"

namespace qv {

CQVThread::~CQVThread()
{
    if (m_thread.joinable()) {
        if (isRunning())
            m_job.stop().request();
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

void CQVThread::run()
{
    const Outcome outcome = m_job.run();
    m_outcome.store(outcome, std::memory_order_release);
    m_running.store(false, std::memory_order_release);
    // The callback is the last use of this object on this thread: once it has posted
    // the end to the window, the owner may release the object (its destructor joins).
    if (m_onFinished)
        m_onFinished(outcome);
}

} // namespace qv
