// One search at a time on a worker thread, as the window sees it: the session builds
// the job, starts its worker, hands the rows and texts the worker queues to the result
// list a batch per turn of the event loop, and says when the search has ended.
#pragma once

#include "search/SearchJob.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace qv {

class CQVThread;
class ResultListModel;
class RowBatchQueue;
class SearchServices;
struct SearchPlace;

class SearchSession final : public QObject {
    Q_OBJECT
public:
    explicit SearchSession(QObject* parent = nullptr);
    // Lets a worker waiting for room go, then waits for its end: the worker's objects
    // live in this session.
    ~SearchSession() override;

    // Where rows go; cleared at each start.
    void setResultModel(ResultListModel* model);

    // Starts a search of the place with copies of the criteria; the result list is
    // emptied first. Nothing happens while a search runs.
    void start(const SearchCriteria& criteria, const SearchPlace& place, std::shared_ptr<SearchServices> services);
    // What the walk showed so far is shown, then the status text is emptied and the
    // worker asked to stop (a paused worker is let go to see it). A worker that has
    // already ended (after an error) is released.
    void stop();
    void pause();
    void resume();
    // The window wants to close: true when nothing runs; otherwise the worker is asked
    // to stop, nothing more is shown, and ended() follows.
    bool requestClose();

    // From start() until the worker's end has been handled.
    bool isSearching() const { return m_searching; }
    // A worker is there and still walking.
    bool isRunning() const;
    // The state of the last search started (before the first, an empty one).
    const SearchState& state() const;

signals:
    void started();
    // A batch of rows went to the result list.
    void rowsAdded(int count);
    void statusText(const QString& text);
    // After every row and text the worker queued before its end has been shown.
    void ended(SearchJob::Outcome outcome);

private:
    // Posted by the worker thread, by name and without arguments: everything they act
    // on is handed over under the session's own lock, never inside the posted event.
    Q_INVOKABLE void drainWoken();
    Q_INVOKABLE void workersFinished();

    void postWake();
    void drain(std::size_t maxEvents);
    std::size_t drainBudget() const;
    void drainAll();
    void workerEnded(quint64 serial, SearchJob::Outcome outcome);

    QPointer<ResultListModel> m_model;
    // Why the running search could not search its place (or a helper could not be
    // started): shown when it comes, and again as the search's last text.
    QString m_fault;
    QString m_lastText;            // the latest status text the walk gave
    int m_placesNotSearched = 0;   // folders, shares and computers inside the walk
    SearchState m_noSearch;
    // The running search. Every field is touched on the user-interface thread only:
    // the worker reaches the session through queued calls, never directly.
    std::unique_ptr<RowBatchQueue> m_queue; // outlives the worker that fills it
    std::unique_ptr<SearchJob> m_job;       // kept after its end: the list shows its images
    std::unique_ptr<CQVThread> m_worker;
    bool m_searching = false;
    quint64 m_serial = 0; // counts searches; a late end of an older one is ignored
    std::atomic<bool> m_wakePosted{false}; // one queued drain at a time, set by the worker
    std::mutex m_finishedMutex;            // guards m_finished
    std::vector<std::pair<quint64, SearchJob::Outcome>> m_finished; // worker ends not handled yet
    QTimer m_drainTimer;
    QTimer m_drainSoon; // single shot, 0 ms: the next batch on the next turn
};

} // namespace qv
