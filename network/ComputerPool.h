// Computers of a network walk searched at the same time, each through a helper of its
// own, their rows handed on in the order a walk of one computer after the other gives.
#pragma once

#include "network/OrderedSink.h"
#include "search/SearchState.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qv {

class FileSystem;
class FileTypeInfo;
class PrefetchingFileSystem;
class NetworkEnumerator;
class NetworkRows;
class SearchSink;
class StopRequest;
struct SearchCriteria;

class ComputerPool final {
public:
    // What one worker reaches the network with: the SMB library serves one thread per
    // process, so every worker has a helper of its own.
    struct Helper {
        std::shared_ptr<void> keepAlive; // what the members below refer to; goes last
        std::unique_ptr<NetworkEnumerator> enumerator;
        std::shared_ptr<FileSystem> shareFiles;
        std::function<void()> abort; // ends a call waiting on a silent server
    };
    using HelperMaker = std::function<Helper()>;

    struct Services {
        HelperMaker makeHelper;
        FileTypeInfo& fileTypes;
        SearchSink& sink;
        StopRequest& stop;
    };

    // Up to `workers` computers at once.
    ComputerPool(int workers, const SearchCriteria& criteria, SearchState& state, const NetworkRows& rows,
                 Services services);
    // Stops and waits for the workers, when finish() did not.
    ~ComputerPool();
    ComputerPool(const ComputerPool&) = delete;
    ComputerPool& operator=(const ComputerPool&) = delete;

    // Where the walk's own rows and texts go now: after every computer queued so far.
    SearchSink& walkSink() { return *m_walkPart; }
    // Queues the computer after everything the walk gave so far.
    void walkComputer(const std::string& workgroup, const std::string& computer);
    // Computers the walk will likely queue (the last walk of the same place did), in
    // that order: as many as there are workers are searched at once, while the walk
    // still waits for its lists. Their rows and counts are held apart until the walk
    // queues them; one it never queues is ended and dropped by finish().
    // What the last walk found out about helpers listing a computer's folders ahead
    // comes with it: that computer's walk is spared the trial.
    struct Likely {
        std::string workgroup;
        std::string computer;
        std::optional<bool> helpPays = std::nullopt;
    };
    void searchAhead(const std::vector<Likely>& computers);
    // Whether help paid for the computer, where this walk's trial found out.
    std::optional<bool> helpFound(const std::string& workgroup, const std::string& computer) const;
    // A place after everything the walk gave so far, kept for what the walk gives
    // later, while it goes on past it.
    using Reserved = OrderedSink::Part*;
    Reserved reserve();
    // Runs `give` with the walk's rows, texts and computers going into the reserved
    // place, which is then closed; afterwards they go where they went before.
    void fillReserved(Reserved place, const std::function<void()>& give);
    // Waits until every computer queued has been searched and everything has gone on
    // to the sink; false when the stop request ended the walk.
    bool finish();

    // The most workers a pool takes, whatever is asked for.
    static constexpr int kMostWorkers = 16;

    // How often a worker with nothing to do looks for folders to list ahead.
    static constexpr std::chrono::milliseconds kLookForWorkEvery{10};

private:
    // A computer searched before the walk queued it: its part stays out of the order,
    // and it counts in a state of its own, until the walk queues it.
    struct Guess {
        std::string workgroup;
        std::string computer;
        OrderedSink::Part* part = nullptr;
        SearchState state;
        bool queued = false;  // the walk queued it: the part is in the order
        bool ended = false;   // its search is over
        bool dropped = false; // the walk did not queue it; its part goes
        std::function<void()> abort; // of the helper searching it, once one does
    };
    struct Job {
        std::string workgroup;
        std::string computer;
        OrderedSink::Part* part;
        std::shared_ptr<Guess> guess; // for a computer searched ahead of the walk
    };
    // Needs m_mutex held. The guess of that computer the walk has not queued yet,
    // marked as queued now.
    std::shared_ptr<Guess> takeGuess(const std::string& workgroup, const std::string& computer);
    // Needs m_mutex held: the guess's counts join the search's once both it has ended
    // and the walk queued it.
    void keepCountsIfDone(Guess& guess);
    // False when the guess was dropped before its search began.
    bool startGuess(Guess& guess, const Helper& helper);
    void endGuess(Guess& guess, std::unique_ptr<Helper>& helper);
    // Ends the searches of the guesses the walk did not queue; their parts are
    // discarded once the workers have stopped.
    std::vector<std::shared_ptr<Guess>> dropUnqueuedGuesses();
    void work();
    void stopWorkers();
    // Needs m_mutex held: the earliest walk in progress that a worker with nothing
    // else to do could list ahead for.
    std::shared_ptr<PrefetchingFileSystem> walkWantingHelp() const;
    // True while the workers are wanted back from lending: a computer waits, the
    // search stops or pauses.
    bool lendersWanted() const;
    void searchComputer(Job& job, std::unique_ptr<Helper>& helper);
    bool makeHelperIfNone(std::unique_ptr<Helper>& helper);

    const SearchCriteria& m_criteria;
    SearchState& m_state;
    const NetworkRows& m_rows;
    Services m_services;
    const int m_workers;
    OrderedSink m_order;
    OrderedSink::Part* m_walkPart;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    std::atomic<bool> m_jobsWaiting{false}; // m_jobs is not empty, for lenders outside the lock
    // The computers' share walks in progress, oldest first: a worker with no computer
    // left lends its helper to list their folders ahead.
    std::vector<std::shared_ptr<PrefetchingFileSystem>> m_walks;
    std::vector<std::shared_ptr<Guess>> m_guesses;
    // Whether help pays, by workgroup and computer: as the last walk found, and as
    // this one found.
    std::map<std::pair<std::string, std::string>, bool> m_helpKnown;
    std::map<std::pair<std::string, std::string>, bool> m_helpFound;
    int m_searching = 0; // workers searching a computer
    bool m_closed = false;
    std::vector<std::thread> m_threads;
    bool m_finished = false;
};

} // namespace qv
