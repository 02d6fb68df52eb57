#include "network/ComputerPool.h"

#include "network/ComputerWalk.h"
#include "network/NetworkEnumerator.h"
#include "platform/FileSystem.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"

#include <algorithm>

namespace qv {

ComputerPool::ComputerPool(int workers, const SearchCriteria& criteria, SearchState& state, const NetworkRows& rows,
                           Services services)
    : m_criteria(criteria)
    , m_state(state)
    , m_rows(rows)
    , m_services(std::move(services))
    , m_workers(std::clamp(workers, 1, kMostWorkers))
    , m_order(m_services.sink)
    , m_walkPart(&m_order.open())
{
}

ComputerPool::~ComputerPool()
{
    if (!m_finished) {
        m_services.stop.request();
        stopWorkers();
    }
}

void ComputerPool::walkComputer(const std::string& workgroup, const std::string& computer)
{
    OrderedSink::Part& part = m_order.openAfter(*m_walkPart);
    OrderedSink::Part* walkPart = m_walkPart;
    m_walkPart = &m_order.openAfter(part);
    m_order.finish(*walkPart);
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({workgroup, computer, &part});
        // Workers start as computers come, so a walk of one computer starts one helper.
        if (static_cast<int>(m_threads.size()) < m_workers)
            m_threads.emplace_back([this] { work(); });
    }
    m_wake.notify_one();
}

ComputerPool::Reserved ComputerPool::reserve()
{
    Reserved place = m_walkPart;
    m_walkPart = &m_order.openAfter(*place);
    return place;
}

void ComputerPool::fillReserved(Reserved place, const std::function<void()>& give)
{
    // Closed however `give` ends: parts after it wait for it.
    struct Restore {
        ComputerPool& pool;
        OrderedSink::Part* after;
        ~Restore()
        {
            pool.m_order.finish(*pool.m_walkPart);
            pool.m_walkPart = after;
        }
    } restore{*this, m_walkPart};
    m_walkPart = place;
    give();
}

void ComputerPool::work()
{
    std::unique_ptr<Helper> helper;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_closed || !m_jobs.empty(); });
            if (m_jobs.empty())
                break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        // After a stop, the computers not searched yet give nothing, but their parts
        // still end, so that what was found before goes on to the sink.
        if (!m_services.stop.shouldStop()) {
            try {
                if (!helper) {
                    helper = std::make_unique<Helper>(m_services.makeHelper());
                    if (helper->abort)
                        m_services.stop.addOnRequest(helper->abort);
                }
                ComputerWalk walk(m_criteria, m_state, m_rows,
                                  {*helper->enumerator, *helper->shareFiles, m_services.fileTypes, *job.part,
                                   m_services.stop});
                walk.walk(job.workgroup, job.computer);
            } catch (const std::exception& error) {
                // Only this computer's search ends; the others go on, and so does the order.
                ComputerWalk::reportStepError(m_state, *job.part, job.computer, PlaceFailure::Kind::Computer,
                                              error);
            }
        }
        m_order.finish(*job.part);
    }
}

void ComputerPool::stopWorkers()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
}

bool ComputerPool::finish()
{
    stopWorkers();
    m_order.finish(*m_walkPart);
    m_finished = true;
    return !m_services.stop.isRequested();
}

} // namespace qv
