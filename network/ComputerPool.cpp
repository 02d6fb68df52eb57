#include "network/ComputerPool.h"

#include "network/ComputerWalk.h"
#include "network/NetworkEnumerator.h"
#include "network/PrefetchingFileSystem.h"
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
        m_jobsWaiting = true;
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
    bool mayLend = true;
    for (;;) {
        Job job;
        std::shared_ptr<PrefetchingFileSystem> lendTo;
        {
            std::unique_lock lock(m_mutex);
            for (;;) {
                if (!m_jobs.empty()) {
                    job = std::move(m_jobs.front());
                    m_jobs.pop_front();
                    m_jobsWaiting = !m_jobs.empty();
                    ++m_searching;
                    break;
                }
                if (mayLend && !lendersWanted() && (lendTo = walkWantingHelp()))
                    break;
                // Done once no computer is left, nor one whose search could still
                // have folders to list ahead.
                if (m_closed && m_searching == 0)
                    return;
                // New folders to list ahead come without a word: look again soon.
                m_wake.wait_for(lock, kLookForWorkEvery);
            }
        }
        if (lendTo) {
            // A pause holds a lender here, between two listings, like every worker.
            try {
                if (!m_services.stop.shouldStop() && makeHelperIfNone(helper))
                    lendTo->lend(*helper->shareFiles, [this] { return lendersWanted(); });
            } catch (const std::exception&) {
                mayLend = false; // no helper could be made: this worker only searches computers
            }
            continue;
        }
        searchComputer(job, helper);
        std::lock_guard lock(m_mutex);
        --m_searching;
    }
}

void ComputerPool::searchComputer(Job& job, std::unique_ptr<Helper>& helper)
{
    // After a stop, the computers not searched yet give nothing, but their parts
    // still end, so that what was found before goes on to the sink.
    if (!m_services.stop.shouldStop()) {
        std::shared_ptr<PrefetchingFileSystem> ahead;
        try {
            if (makeHelperIfNone(helper)) {
                // Its folders may be listed ahead by workers that have nothing else left.
                ahead = std::make_shared<PrefetchingFileSystem>(helper->shareFiles, PrefetchingFileSystem::ListerMaker{}, 0);
                {
                    std::lock_guard lock(m_mutex);
                    m_walks.push_back(ahead);
                }
                ComputerWalk walk(m_criteria, m_state, m_rows,
                                  {*helper->enumerator, *ahead, m_services.fileTypes, *job.part, m_services.stop});
                walk.walk(job.workgroup, job.computer);
            }
        } catch (const std::exception& error) {
            // Only this computer's search ends; the others go on, and so does the order.
            ComputerWalk::reportStepError(m_state, *job.part, job.computer, PlaceFailure::Kind::Computer, error);
        }
        if (ahead) {
            ahead->close();
            std::lock_guard lock(m_mutex);
            m_walks.erase(std::find(m_walks.begin(), m_walks.end(), ahead));
        }
    }
    m_order.finish(*job.part);
}

bool ComputerPool::makeHelperIfNone(std::unique_ptr<Helper>& helper)
{
    if (!helper) {
        helper = std::make_unique<Helper>(m_services.makeHelper());
        if (helper->abort)
            m_services.stop.addOnRequest(helper->abort);
    }
    return helper->enumerator && helper->shareFiles;
}

std::shared_ptr<PrefetchingFileSystem> ComputerPool::walkWantingHelp() const
{
    for (const auto& walk : m_walks)
        if (walk->wantsHelp())
            return walk;
    return nullptr;
}

bool ComputerPool::lendersWanted() const
{
    return m_jobsWaiting.load() || m_services.stop.isRequested() || m_services.stop.isPaused();
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
    {
        // Workers not started yet, because fewer computers came than there may be
        // workers, still help to list the folders of the last ones ahead.
        std::lock_guard lock(m_mutex);
        if (m_searching > 0 || !m_jobs.empty())
            while (static_cast<int>(m_threads.size()) < m_workers)
                m_threads.emplace_back([this] { work(); });
    }
    stopWorkers();
    m_order.finish(*m_walkPart);
    m_finished = true;
    return !m_services.stop.isRequested();
}

} // namespace qv
