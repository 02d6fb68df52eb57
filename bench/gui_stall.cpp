// gui_stall: how long the window stops answering while a search brings 100,000 rows.
// A 1 ms timer records the gaps between its ticks while the search form runs a search
// of an in-memory tree into the result model shown by a table view; the longest gap is
// the longest time the event loop was busy with something else.
#include "app/CSearchForView.h"
#include "network/SearchServices.h"
#include "app/results/ResultListModel.h"
#include "tests/support/FakeFileTypes.h"
#include "tests/support/MemoryFileSystem.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace qv;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int folders = 100;

    auto tree = std::make_shared<test::MemoryFileSystem>('/');
    for (int i = 0; i < files; ++i) {
        FileEntry e;
        e.name = "file" + std::to_string(i) + ".txt";
        e.size = i;
        e.created = e.written = e.accessed = 1600000000 + i;
        tree->addFile("/mem/d" + std::to_string(i % folders), e);
    }
    auto services = std::make_shared<SearchServices>();
    services->localFiles = tree;
    services->fileTypes = std::make_shared<test::FakeFileTypes>();

    ResultListModel model;
    CSearchForView form;
    form.setSearchServices(services);
    form.setResultModel(&model);
    SearchPlace place;
    place.level = LevelFolder;
    place.placePath = place.walkRoot = "/mem";
    place.local = true;
    form.setSearchPlace(place);
    qobject_cast<QComboBox*>(form.control(FormControl::NameBox))->setEditText(QStringLiteral("*.txt")); // files only
    QTableView view;
    view.setModel(&model);
    view.resize(800, 600);
    view.show();
    form.show();

    std::vector<qint64> gaps;
    std::vector<std::pair<qint64, qint64>> marks; // (gap, when it ended)
    QElapsedTimer clock;
    qint64 last = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back(now - last);
        marks.emplace_back(now - last, now);
        last = now;
    });
    QObject::connect(&form, &CSearchForView::searchEnded, &app, &QCoreApplication::quit);
    // The windows' first painting is done before the clock starts.
    QTimer::singleShot(300, [&] {
        clock.start();
        last = 0;
        ticker.start();
        form.startSearch();
    });
    app.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    ticker.stop();

    std::sort(gaps.begin(), gaps.end());
    std::sort(marks.rbegin(), marks.rend());
    if (qEnvironmentVariableIsSet("GUI_STALL_VERBOSE"))
        for (std::size_t i = 0; i < std::min<std::size_t>(5, marks.size()); ++i)
            std::printf("gap %.1f ms ending at %.1f ms\n", marks[i].first / 1e6, marks[i].second / 1e6);
    const auto ms = [](qint64 ns) { return ns / 1e6; };
    const qint64 longest = gaps.empty() ? 0 : gaps.back();
    const qint64 p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
    std::printf("rows: %d in %.2f s\n", model.rowCount(), seconds);
    std::printf("event-loop ticks: %zu, longest gap: %.1f ms, 99th percentile: %.1f ms\n", gaps.size(), ms(longest),
                ms(p99));
    return model.rowCount() == files ? 0 : 1;
}
