#include "app/SearchSession.h"

#include "app/results/ResultListModel.h"
#include "network/SearchJobBuilder.h"
#include "resources/StringTable.h"
#include "resources/StringText.h"
#include "results/RowBatchQueue.h"
#include "search/CQVThread.h"

#include <optional>
#include <variant>

namespace qv {
namespace {

// Bound of the hand-over: the worker waits when this many events are not shown yet.
// One drain takes RowBatchQueue::drainBudget events, so that one turn of the event
// loop stays short however fast rows come.
constexpr std::size_t kQueueCapacity = RowBatchQueue::kMaxDrainBudget;
constexpr int kDrainIntervalMs = 40;

} // namespace

SearchSession::SearchSession(QObject* parent) : QObject(parent)
{
    m_drainSoon.setSingleShot(true);
    m_drainSoon.setInterval(0);
    connect(&m_drainSoon, &QTimer::timeout, this, [this] { drain(drainBudget()); });
    m_drainTimer.setInterval(kDrainIntervalMs);
    connect(&m_drainTimer, &QTimer::timeout, this, [this] { drain(drainBudget()); });
}

SearchSession::~SearchSession()
{
    if (m_worker) {
        if (m_queue)
            m_queue->close();
        m_worker.reset();
    }
    if (m_model)
        m_model->setImages(nullptr);
}

void SearchSession::setResultModel(ResultListModel* model)
{
    m_model = model;
    if (model)
        model->setImages(&state().images);
}

const SearchState& SearchSession::state() const
{
    return m_job ? m_job->state() : m_noSearch;
}

bool SearchSession::isRunning() const
{
    return m_worker && m_worker->isRunning();
}

void SearchSession::start(const SearchCriteria& criteria, const SearchPlace& place,
                          std::shared_ptr<SearchServices> services)
{
    if (m_searching)
        return;
    // An earlier worker that ended on an error is still held; it has finished.
    m_worker.reset();
    auto queue = std::make_unique<RowBatchQueue>(kQueueCapacity);
    queue->setOnPending([this] { postWake(); });
    std::unique_ptr<SearchJob> job = SearchJobBuilder::build(criteria, place, services, *queue);
    // The list lets go of the last search's rows and images before they go.
    if (m_model) {
        m_model->clear();
        m_model->setImages(&job->state().images);
    }
    m_job = std::move(job);
    m_queue = std::move(queue);
    m_wakePosted.store(false);
    m_fault.clear();
    m_lastText.clear();
    m_placesNotSearched = 0;

    m_worker = std::make_unique<CQVThread>(*m_job);
    const quint64 serial = ++m_serial;
    m_worker->setOnFinished([this, serial](SearchJob::Outcome outcome) {
        // Worker thread: the end is handled on the user-interface thread, after every
        // row and text the worker queued before it.
        {
            const std::lock_guard lock(m_finishedMutex);
            m_finished.emplace_back(serial, outcome);
        }
        QMetaObject::invokeMethod(this, "workersFinished", Qt::QueuedConnection);
    });
    m_searching = true;
    m_worker->start();
    m_drainTimer.start();
    emit started();
}

void SearchSession::stop()
{
    if (!m_worker)
        return;
    if (m_worker->isRunning()) {
        // What the walk showed before this Stop is shown first, then the empty text.
        drainAll();
        emit statusText(QString());
        m_worker->requestStop(); // also lets a paused worker go, so that it sees the stop
    } else {
        m_worker.reset();
    }
}

void SearchSession::pause()
{
    if (isRunning())
        m_worker->pause();
}

void SearchSession::resume()
{
    if (isRunning())
        m_worker->resume();
}

bool SearchSession::requestClose()
{
    if (isRunning()) {
        m_worker->requestStop();
        // Nothing more will be shown: a worker waiting for room goes on at once.
        if (m_queue)
            m_queue->close();
        return false;
    }
    m_worker.reset();
    return true;
}

void SearchSession::postWake()
{
    // Worker thread. The session outlives every worker (its destructor waits for it),
    // so posting to it is safe; a flag keeps the wake-ups to one in the event queue.
    if (!m_wakePosted.exchange(true))
        QMetaObject::invokeMethod(this, "drainWoken", Qt::QueuedConnection);
}

void SearchSession::drainWoken()
{
    drain(drainBudget());
}

void SearchSession::workersFinished()
{
    std::vector<std::pair<quint64, SearchJob::Outcome>> ends;
    {
        const std::lock_guard lock(m_finishedMutex);
        ends.swap(m_finished);
    }
    for (const auto& [serial, outcome] : ends)
        workerEnded(serial, outcome);
}

std::size_t SearchSession::drainBudget() const
{
    return RowBatchQueue::drainBudget(m_model ? m_model->rowCount() : 0);
}

void SearchSession::drain(std::size_t maxEvents)
{
    m_wakePosted.store(false);
    if (!m_queue)
        return;
    std::vector<RowBatchQueue::Event> events = m_queue->drain(maxEvents);
    if (events.empty())
        return;
    std::vector<ResultRow> rows;
    rows.reserve(events.size());
    std::optional<QString> latestText;
    for (RowBatchQueue::Event& event : events) {
        if (auto* row = std::get_if<ResultRow>(&event)) {
            rows.push_back(std::move(*row));
        } else if (auto* failure = std::get_if<PlaceFailure>(&event)) {
            // A place inside the walk that cannot be read leaves no row and is only
            // counted, for the last status text; the search's own place, or a helper
            // that cannot be started, is told at once.
            if ((failure->searchPlace || failure->installation) && m_fault.isEmpty()) {
                m_fault = stringText(IDS_PLACE_NOT_SEARCHED)
                              .arg(QString::fromStdString(failure->place), QString::fromStdString(failure->reason));
                latestText = m_fault;
            } else if (!failure->searchPlace && !failure->installation) {
                ++m_placesNotSearched;
            }
        } else {
            // Texts replace each other in the status bar; rows before a text are in
            // the list before it shows, rows after it come in the same turn.
            latestText = QString::fromStdString(std::get<std::string>(event));
        }
        if (latestText && latestText != m_fault)
            m_lastText = *latestText;
    }
    const auto count = static_cast<int>(rows.size());
    if (m_model)
        m_model->addRows(std::move(rows));
    if (count > 0)
        emit rowsAdded(count);
    if (latestText)
        emit statusText(*latestText);
    // More waiting: another turn soon. A zero timer rather than a posted call: the
    // event loop sends every posted call it has in one go, a call posted from one of
    // them included, while timers wait for the next turn, after input and painting.
    if (m_queue->pending() > 0)
        m_drainSoon.start();
}

void SearchSession::drainAll()
{
    while (m_queue && m_queue->pending() > 0)
        drain(drainBudget());
}

void SearchSession::workerEnded(quint64 endedSerial, SearchJob::Outcome outcome)
{
    if (endedSerial != m_serial || !m_searching)
        return;
    // Rows and texts still waiting were queued before the end: show them first, a
    // batch per turn, and come back here after them.
    if (m_queue && m_queue->pending() > drainBudget()) {
        drain(drainBudget());
        QMetaObject::invokeMethod(
            this, [this, endedSerial, outcome] { workerEnded(endedSerial, outcome); }, Qt::QueuedConnection);
        return;
    }
    drainAll();
    m_searching = false;
    m_drainTimer.stop();
    // The worker has done its work; after an error it is kept until Stop, the close
    // handler or the next search finds it ended.
    if (outcome != SearchJob::Outcome::Failed)
        m_worker.reset();
    // What kept the search from its place, or the error that ended it, is the last word.
    if (outcome == SearchJob::Outcome::Failed && m_job)
        emit statusText(stringText(IDS_SEARCH_FAILED).arg(QString::fromStdString(m_job->errorText())));
    else if (!m_fault.isEmpty())
        emit statusText(m_fault);
    else if (m_placesNotSearched > 0)
        emit statusText(stringText(IDS_PLACES_NOT_SEARCHED).arg(m_lastText).arg(m_placesNotSearched));
    emit ended(outcome);
}

} // namespace qv
