#include "search/StopRequest.h"

namespace qv {

void StopRequest::request()
{
    std::function<void()> onRequest;
    std::vector<std::function<void()>> more;
    {
        std::lock_guard lock(m_mutex);
        m_stop.store(true, std::memory_order_release);
        onRequest = m_onRequest;
        more = m_moreOnRequest;
    }
    m_wake.notify_all();
    if (onRequest)
        onRequest();
    for (const auto& hook : more)
        hook();
}

void StopRequest::addOnRequest(std::function<void()> onRequest)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_stop.load(std::memory_order_relaxed)) {
            m_moreOnRequest.push_back(std::move(onRequest));
            return;
        }
    }
    onRequest();
}

void StopRequest::setOnRequest(std::function<void()> onRequest)
{
    std::lock_guard lock(m_mutex);
    m_onRequest = std::move(onRequest);
}

void StopRequest::pause()
{
    std::lock_guard lock(m_mutex);
    m_paused.store(true, std::memory_order_release);
}

void StopRequest::resume()
{
    {
        std::lock_guard lock(m_mutex);
        m_paused.store(false, std::memory_order_release);
    }
    m_wake.notify_all();
}

bool StopRequest::shouldStop()
{
    if (m_paused.load(std::memory_order_acquire)) {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] {
            return !m_paused.load(std::memory_order_relaxed) || m_stop.load(std::memory_order_relaxed);
        });
    }
    return m_stop.load(std::memory_order_acquire);
}

void StopRequest::reset()
{
    std::lock_guard lock(m_mutex);
    m_moreOnRequest.clear();
    m_stop.store(false, std::memory_order_release);
    m_paused.store(false, std::memory_order_release);
}

} // namespace qv
