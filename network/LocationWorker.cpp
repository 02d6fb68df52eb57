#include "network/LocationWorker.h"

namespace qv {

LocationWorker::~LocationWorker() { stop(); }

void LocationWorker::post(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_jobs.push_back(std::move(job));
        if (!m_thread.joinable())
            m_thread = std::thread(&LocationWorker::run, this);
    }
    m_wake.notify_one();
}

void LocationWorker::stop()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        dropped.swap(m_jobs);
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
    // Jobs hold what they list through; they go here, on the caller's thread, after
    // the thread that could have run them has ended.
    dropped.clear();
}

void LocationWorker::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

} // namespace qv
