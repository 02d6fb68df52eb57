// result_list_bench: the result list pane with a million rows. Rows arrive in batches
// of the size the search form drains while a 1 ms timer records the gaps between
// its ticks; then each pane operation runs from the event loop and the longest gap
// around it is the longest time the window did not answer.
#include "app/results/CQVView.h"
#include "app/results/ResultListModel.h"
#include "results/RowBatchQueue.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace qv;

namespace {


// Gaps between the ticks of a 1 ms timer.
class StallMeter final {
public:
    StallMeter()
    {
        m_ticker.setTimerType(Qt::PreciseTimer);
        m_ticker.setInterval(1);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_ticker.start();
    }
    double stopMs()
    {
        m_ticker.stop();
        return m_longest / 1e6;
    }

private:
    QTimer m_ticker;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// Names, folders, sizes and times as a file server gives them: ASCII and Japanese
// words, a few hundred folders on a few computers, a tenth of the rows folders.
class RowMaker final {
public:
    ResultRow next()
    {
        static const char* const words[] = {"report", "Report", "会議資料", "見積書", "data", "IMG", "議事録",
                                            "backup", "ｄａｔａ", "設計", "summary", "仕様書", "log", "写真"};
        static const char* const extensions[] = {".txt", ".docx", ".xlsx", ".pdf", ".jpg", ".csv", ".log"};
        static const char* const types[] = {"テキスト ドキュメント", "Word 文書", "Excel ワークシート", "PDF 文書",
                                            "JPEG 画像", "CSV ファイル", "ログ ファイル"};
        ResultRow row;
        const int ext = static_cast<int>(m_random() % 7);
        const bool folder = m_random() % 10 == 0;
        std::string name = words[m_random() % 14];
        name += '_';
        name += std::to_string(m_random() % 100000);
        if (!folder)
            name += extensions[ext];
        row.cell(Column::Name) = name;
        const unsigned place = m_random() % 500;
        row.cell(Column::Path) = "\\\\FILER" + std::to_string(place % 5) + "\\share" + std::to_string(place % 7)
                                 + "\\部署" + std::to_string(place % 40) + "\\folder" + std::to_string(place);
        row.cell(Column::Size) = folder ? std::string() : std::to_string(m_random() % 200000) + " KB";
        row.cell(Column::Type) = folder ? "フォルダ" : types[ext];
        for (const Column c : {Column::Updated, Column::Created, Column::Accessed}) {
            char time[32];
            std::snprintf(time, sizeof time, "20%02u/%02u/%02u %02u:%02u", 10 + pick(15), 1 + pick(12), 1 + pick(28),
                          pick(24), pick(60));
            row.cell(c) = time;
        }
        row.cell(Column::Match) = "*.*";
        row.image = folder ? ImageFolder : kFirstFileImage;
        return row;
    }

private:
    unsigned pick(unsigned count) { return static_cast<unsigned>(m_random() % count); }

    std::mt19937 m_random{12345};
};

// Runs the event loop for `ms` milliseconds.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs `step` from the event loop, then lets the window settle; prints how long the
// step took and the longest stall of the loop meanwhile.
// `busy`, when given, says the step still works in the background (a sort of a long
// list): the loop runs until it is done, and the time until then is printed too.
void measure(StallMeter& meter, const char* what, const std::function<void()>& step, int settleMs = 400,
             const std::function<bool()>& busy = {})
{
    runFor(100);
    double stepMs = 0;
    meter.start();
    QElapsedTimer untilDone;
    QTimer::singleShot(5, [&] {
        QElapsedTimer clock;
        clock.start();
        untilDone.start();
        step();
        stepMs = clock.nsecsElapsed() / 1e6;
    });
    runFor(20);
    double doneMs = -1;
    if (busy) {
        while (busy())
            runFor(5);
        doneMs = untilDone.nsecsElapsed() / 1e6;
    }
    runFor(settleMs);
    const double stall = meter.stopMs();
    if (doneMs >= 0)
        std::printf("%-34s %9.1f ms   longest stall %8.1f ms   done after %7.1f ms\n", what, stepMs, stall, doneMs);
    else
        std::printf("%-34s %9.1f ms   longest stall %8.1f ms\n", what, stepMs, stall);
    std::fflush(stdout);
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int total = argc > 1 ? std::atoi(argv[1]) : 1000000;

    ResultListModel model;
    CQVView view;
    view.setResultModel(&model);
    view.resize(1000, 700);
    view.show();
    runFor(300);

    // Rows are made batch by batch, as a search hands them over, so the bench holds
    // no rows of its own when memory is read; the time spent making them is left out
    // of the adding time.
    StallMeter meter;
    RowMaker maker;
    std::size_t next = 0;
    std::size_t batches = 0;
    qint64 makingNs = 0;
    QElapsedTimer addClock;
    QTimer feeder;
    feeder.setInterval(0);
    QEventLoop adding;
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        if (next == static_cast<std::size_t>(total)) {
            feeder.stop();
            adding.quit();
            return;
        }
        // The batch the search form would take from its queue now.
        const std::size_t end =
            std::min(static_cast<std::size_t>(total), next + RowBatchQueue::drainBudget(model.rowCount()));
        QElapsedTimer making;
        making.start();
        std::vector<ResultRow> batch;
        batch.reserve(end - next);
        for (std::size_t i = next; i < end; ++i)
            batch.push_back(maker.next());
        makingNs += making.nsecsElapsed();
        model.addRows(std::move(batch));
        next = end;
        ++batches;
    });
    meter.start();
    addClock.start();
    feeder.start();
    adding.exec();
    const double addSeconds = (addClock.nsecsElapsed() - makingNs) / 1e9;
    const double addStall = meter.stopMs();
    std::printf("rows: %d in %zu batches, added in %.2f s, longest stall %.1f ms\n", model.rowCount(), batches,
                addSeconds, addStall);
    std::printf("resident memory: %ld MiB\n", residentKb() / 1024);

    QTreeView* details = view.detailsView();
    const auto sorting = [&] { return model.isSorting(); };
    measure(meter, "sort by Name ascending", [&] { model.sortByHeaderClick(0); }, 400, sorting);
    measure(meter, "sort by Name descending", [&] { model.sortByHeaderClick(0); }, 400, sorting);
    measure(meter, "sort by Size ascending", [&] { model.sortByHeaderClick(2); }, 400, sorting);
    measure(meter, "sort by Size descending (reverse)", [&] { model.sortByHeaderClick(2); }, 400, sorting);
    measure(meter, "sort by Update time", [&] { model.sortByHeaderClick(4); }, 400, sorting);
    measure(meter, "scroll to the end", [&] { details->scrollToBottom(); });
    measure(meter, "scroll back to the top", [&] { details->scrollToTop(); });
    measure(meter, "switch to list", [&] { view.setViewStyle(CQVView::ViewStyle::List); }, 1500);
    measure(meter, "scroll list to the end", [&] {
        view.iconView()->horizontalScrollBar()->setValue(view.iconView()->horizontalScrollBar()->maximum());
    });
    measure(meter, "switch to large icons", [&] { view.setViewStyle(CQVView::ViewStyle::LargeIcons); }, 1500);
    measure(meter, "switch to small icons", [&] { view.setViewStyle(CQVView::ViewStyle::SmallIcons); }, 1500);
    measure(meter, "switch to details", [&] { view.setViewStyle(CQVView::ViewStyle::Details); });
    measure(meter, "select all", [&] { view.selectAllRows(); });
    qsizetype selected = 0;
    measure(meter, "list the selected rows (all)", [&] { selected = view.selectedRows().size(); });
    if (selected != model.rowCount())
        std::printf("  but only %lld rows were selected\n", static_cast<long long>(selected));
    measure(meter, "sort by Name with all selected", [&] { model.sortByHeaderClick(0); }, 400, sorting);
    measure(meter, "invert selection", [&] { view.invertRowSelection(); });
    measure(meter, "select every other row of 20,000", [&] {
        QItemSelection scattered;
        for (int r = 0; r < 20000; r += 2)
            scattered.select(model.index(r, 0), model.index(r, model.columnCount() - 1));
        view.selectionModel()->select(scattered, QItemSelectionModel::ClearAndSelect);
    });
    measure(meter, "sort by Name with 10,000 selected", [&] { model.sortByHeaderClick(0); }, 400, sorting);
    measure(meter, "invert selection (10,000 selected)", [&] { view.invertRowSelection(); });
    measure(meter, "clear (next search starts)", [&] { model.clear(); });
    std::printf("resident memory at the end: %ld MiB\n", residentKb() / 1024);
    return model.rowCount() == 0 ? 0 : 1;
}
