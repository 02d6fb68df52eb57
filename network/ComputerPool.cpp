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
    std::shared_ptr<Guess> guess;
    {
        std::lock_guard lock(m_mutex);
        guess = takeGuess(workgroup, computer);
    }
    OrderedSink::Part* part = nullptr;
    if (guess) {
        m_order.placeAfter(*m_walkPart, *guess->part);
        part = guess->part;
    } else {
        part = &m_order.openAfter(*m_walkPart);
    }
    OrderedSink::Part* walkPart = m_walkPart;
    m_walkPart = &m_order.openAfter(*part);
    m_order.finish(*walkPart);
    if (guess)
        return; // searched already, or being searched
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({workgroup, computer, part, nullptr});
        m_jobsWaiting = true;
        // Workers start as computers come, so a walk of one computer starts one helper.
        if (static_cast<int>(m_threads.size()) < m_workers)
            m_threads.emplace_back([this] { work(); });
    }
    m_wake.notify_one();
}

void ComputerPool::searchAhead(const std::vector<Likely>& computers)
{
    {
        std::lock_guard lock(m_mutex);
        for (const Likely& likely : computers) {
            if (likely.helpPays)
                m_helpKnown[{likely.workgroup, likely.computer}] = *likely.helpPays;
            if (static_cast<int>(m_guesses.size()) >= m_workers)
                continue;
            auto guess = std::make_shared<Guess>();
            guess->workgroup = likely.workgroup;
            guess->computer = likely.computer;
            guess->part = &m_order.openDetached();
            guess->state.sharedImages = &m_state.rowImages();
            m_guesses.push_back(guess);
            m_jobs.push_back({likely.workgroup, likely.computer, guess->part, guess});
            m_jobsWaiting = true;
            if (static_cast<int>(m_threads.size()) < m_workers)
                m_threads.emplace_back([this] { work(); });
        }
    }
    m_wake.notify_all();
}

std::optional<bool> ComputerPool::helpFound(const std::string& workgroup, const std::string& computer) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_helpFound.find({workgroup, computer});
    return it == m_helpFound.end() ? std::nullopt : std::optional<bool>(it->second);
}

std::shared_ptr<ComputerPool::Guess> ComputerPool::takeGuess(const std::string& workgroup, const std::string& computer)
{
    for (const std::shared_ptr<Guess>& guess : m_guesses)
        if (!guess->queued && !guess->dropped && guess->workgroup == workgroup && guess->computer == computer) {
            guess->queued = true;
            keepCountsIfDone(*guess);
            return guess;
        }
    return nullptr;
}

void ComputerPool::keepCountsIfDone(Guess& guess)
{
    if (guess.queued && guess.ended)
        m_state.addCounts(guess.state);
}

bool ComputerPool::startGuess(Guess& guess, const Helper& helper)
{
    std::lock_guard lock(m_mutex);
    if (guess.dropped)
        return false;
    guess.abort = helper.abort;
    return true;
}

void ComputerPool::endGuess(Guess& guess, std::unique_ptr<Helper>& helper)
{
    std::lock_guard lock(m_mutex);
    guess.ended = true;
    keepCountsIfDone(guess);
    // Dropping the guess aborted its helper, which refuses every request from now on.
    if (guess.dropped && guess.abort)
        helper.reset();
    // A later drop must not abort the helper, which may search another computer by then.
    guess.abort = nullptr;
}

std::vector<std::shared_ptr<ComputerPool::Guess>> ComputerPool::dropUnqueuedGuesses()
{
    std::vector<std::shared_ptr<Guess>> dropped;
    std::vector<std::function<void()>> aborts;
    {
        std::lock_guard lock(m_mutex);
        for (const std::shared_ptr<Guess>& guess : m_guesses)
            if (!guess->queued) {
                guess->dropped = true;
                dropped.push_back(guess);
                if (guess->abort)
                    aborts.push_back(guess->abort);
            }
        std::erase_if(m_jobs, [](const Job& job) { return job.guess && job.guess->dropped; });
        m_jobsWaiting = !m_jobs.empty();
    }
    for (const auto& abort : aborts)
        abort();
    return dropped;
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
    SearchState& state = job.guess ? job.guess->state : m_state;
    // After a stop, the computers not searched yet give nothing, but their parts
    // still end, so that what was found before goes on to the sink.
    if (!m_services.stop.shouldStop()) {
        std::shared_ptr<PrefetchingFileSystem> ahead;
        try {
            if (makeHelperIfNone(helper) && (!job.guess || startGuess(*job.guess, *helper))) {
                // Its folders may be listed ahead by workers that have nothing else left.
                ahead = std::make_shared<PrefetchingFileSystem>(helper->shareFiles, PrefetchingFileSystem::ListerMaker{}, 0);
                {
                    // Settled before lenders can see the walk.
                    std::lock_guard lock(m_mutex);
                    if (auto it = m_helpKnown.find({job.workgroup, job.computer}); it != m_helpKnown.end())
                        ahead->settleHelp(it->second);
                    m_walks.push_back(ahead);
                }
                ComputerWalk walk(m_criteria, state, m_rows,
                                  {*helper->enumerator, *ahead, m_services.fileTypes, *job.part, m_services.stop});
                walk.walk(job.workgroup, job.computer);
            }
        } catch (const std::exception& error) {
            // Only this computer's search ends; the others go on, and so does the order.
            ComputerWalk::reportStepError(state, *job.part, job.computer, PlaceFailure::Kind::Computer, error);
        }
        if (ahead) {
            ahead->close();
            const std::optional<bool> found = ahead->helpPays();
            std::lock_guard lock(m_mutex);
            m_walks.erase(std::find(m_walks.begin(), m_walks.end(), ahead));
            if (found && !m_helpKnown.count({job.workgroup, job.computer}))
                m_helpFound[{job.workgroup, job.computer}] = *found;
        }
    }
    if (job.guess)
        endGuess(*job.guess, helper);
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
    const std::vector<std::shared_ptr<Guess>> dropped = dropUnqueuedGuesses();
    {
        // Workers not started yet, because fewer computers came than there may be
        // workers, still help to list the folders of the last ones ahead.
        std::lock_guard lock(m_mutex);
        if (m_searching > 0 || !m_jobs.empty())
            while (static_cast<int>(m_threads.size()) < m_workers)
                m_threads.emplace_back([this] { work(); });
    }
    stopWorkers();
    for (const std::shared_ptr<Guess>& guess : dropped)
        m_order.discard(*guess->part);
    m_order.finish(*m_walkPart);
    m_finished = true;
    return !m_services.stop.isRequested();
}

} // namespace qv
