// The result list pane as a user meets it: header clicks sort and move the arrow, the
// styles share one selection, select all and invert, hiding columns, double-clicks
// open rows and folders, and drags carry the selected rows' network paths.
#include "tests/gui/shell/RecordingLauncher.h"

#include "resources/ResourceIcon.h"
#include "app/results/CQVView.h"
#include "app/results/ResultListModel.h"

#include <QDrag>
#include <QHeaderView>
#include <QListView>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>

using namespace qv;

namespace {

ResultRow makeRow(const std::string& name, const std::string& path, const std::string& size = {},
                  int image = kFirstFileImage)
{
    ResultRow r;
    r.cell(Column::Name) = name;
    r.cell(Column::Path) = path;
    r.cell(Column::Size) = size;
    r.image = image;
    return r;
}

QImage picture(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage();
}

} // namespace

class ResultListTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void headerClicksSortAndMoveTheArrow();
    void searchStartRemovesTheArrowButKeepsTheSortState();
    void sortKeepsTheSelectedRowsSelected();
    void longListsSortInTheBackgroundAndRowsWaitMeanwhile();
    void sortMovesTheSelectionItselfUnlessItIsLarge();
    void clearingGivesARunningSortUp();
    void everyStyleShowsTheSameSelection();
    void selectAllAndInvertEndWithTheFocusOnTheLastRow();
    void hiddenColumnsKeepTheirPlaceAndComeBackAtTheWidthAsked();
    void doubleClicksOpenRowsAndRightDoubleClicksTheirFolders();
    void dragDataListsTheSelectedNetworkPathsTopToBottom();
    void rightButtonDragStartsADragOfTheSelection();
    void detailsDrawGridLines();

private:
    QStringList names() const;
    void clickHeader(int column);
    void select(const QList<int>& rows);
    QPoint rowCentre(int row) const;

    std::unique_ptr<ResultListModel> m_model;
    std::unique_ptr<CQVView> m_view;
    RecordingLauncher m_launcher;
};

void ResultListTest::init()
{
    m_model = std::make_unique<ResultListModel>();
    m_view = std::make_unique<CQVView>();
    m_view->setResultModel(m_model.get());
    m_view->setShellLauncher(&m_launcher);
    m_view->resize(800, 400);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    m_launcher.opened.clear();
}

void ResultListTest::cleanup()
{
    m_view.reset();
    m_model.reset();
}

QStringList ResultListTest::names() const
{
    QStringList out;
    for (int r = 0; r < m_model->rowCount(); ++r)
        out << m_model->index(r, 0).data().toString();
    return out;
}

void ResultListTest::clickHeader(int column)
{
    QHeaderView* header = m_view->detailsView()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
}

void ResultListTest::select(const QList<int>& rows)
{
    QItemSelectionModel* selection = m_view->selectionModel();
    selection->clearSelection();
    for (int r : rows)
        selection->select(m_model->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QPoint ResultListTest::rowCentre(int row) const
{
    return m_view->detailsView()->visualRect(m_model->index(row, 0)).center();
}

void ResultListTest::headerClicksSortAndMoveTheArrow()
{
    m_model->addRows({makeRow("b.txt", "\\\\H\\s", "1 KB"), makeRow("C.txt", "\\\\H\\s", "20 KB"),
                      makeRow("a.txt", "\\\\H\\s", "3 KB")});
    const QImage up = picture(resourceIcon(ResourceIconId::SortUp));
    const QImage down = picture(resourceIcon(ResourceIconId::SortDown));
    QVERIFY(!up.isNull() && up != down);
    auto arrowOf = [this](int column) {
        return picture(m_model->headerData(column, Qt::Horizontal, Qt::DecorationRole).value<QIcon>());
    };

    clickHeader(0);
    QCOMPARE(names(), (QStringList{"a.txt", "b.txt", "C.txt"}));
    QCOMPARE(m_view->sortColumn(), 0);
    QVERIFY(m_view->ascending());
    QCOMPARE(m_view->arrowColumn(), 0);
    QCOMPARE(arrowOf(0), up);
    QVERIFY(!m_view->detailsView()->header()->isSortIndicatorShown());

    clickHeader(0);
    QCOMPARE(names(), (QStringList{"C.txt", "b.txt", "a.txt"}));
    QVERIFY(!m_view->ascending());
    QCOMPARE(arrowOf(0), down);

    clickHeader(0);
    QCOMPARE(names(), (QStringList{"a.txt", "b.txt", "C.txt"}));
    QCOMPARE(arrowOf(0), up);

    // Another column: ascending there, by size value, and the former arrow is gone.
    clickHeader(2);
    QCOMPARE(names(), (QStringList{"b.txt", "a.txt", "C.txt"}));
    QCOMPARE(m_view->sortColumn(), 2);
    QVERIFY(m_view->ascending());
    QCOMPARE(m_view->arrowColumn(), 2);
    QCOMPARE(arrowOf(2), up);
    QVERIFY(arrowOf(0).isNull());
}

void ResultListTest::searchStartRemovesTheArrowButKeepsTheSortState()
{
    m_model->addRows({makeRow("a", ""), makeRow("b", "")});
    clickHeader(0);
    clickHeader(0); // descending
    QCOMPARE(names(), (QStringList{"b", "a"}));

    m_model->clear();
    for (int c = 0; c < 9; ++c)
        QVERIFY(m_model->headerData(c, Qt::Horizontal, Qt::DecorationRole).value<QIcon>().isNull());
    QCOMPARE(m_view->arrowColumn(), 0);
    QCOMPARE(m_view->sortColumn(), 0);
    QVERIFY(!m_view->ascending());

    // The new search's rows come newest first, unsorted.
    m_model->addRows({makeRow("x", ""), makeRow("z", ""), makeRow("y", "")});
    QCOMPARE(names(), (QStringList{"y", "z", "x"}));
    // The former arrow column reverses the last order: ascending again.
    clickHeader(0);
    QVERIFY(m_view->ascending());
    QCOMPARE(names(), (QStringList{"x", "y", "z"}));
    QCOMPARE(picture(m_model->headerData(0, Qt::Horizontal, Qt::DecorationRole).value<QIcon>()),
             picture(resourceIcon(ResourceIconId::SortUp)));
}

void ResultListTest::sortKeepsTheSelectedRowsSelected()
{
    m_model->addRows({makeRow("d", ""), makeRow("a", ""), makeRow("c", ""), makeRow("b", "")});
    // Shown b, c, a, d: select c and d, with the focus on c.
    select({1, 3});
    m_view->selectionModel()->setCurrentIndex(m_model->index(1, 0), QItemSelectionModel::NoUpdate);
    clickHeader(0);
    QCOMPARE(names(), (QStringList{"a", "b", "c", "d"}));
    QCOMPARE(m_view->selectedRows(), (QList<int>{2, 3}));
    QCOMPARE(m_view->currentView()->currentIndex().row(), 2);
}

// Names that sort in another order than they came in, and never twice the same.
std::vector<ResultRow> manyRows(int count)
{
    std::vector<ResultRow> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        rows.push_back(makeRow("name-" + std::to_string((i * 7919) % count), "\\\\HOST\\share"));
    return rows;
}

void ResultListTest::longListsSortInTheBackgroundAndRowsWaitMeanwhile()
{
    const int count = ResultListModel::kBackgroundSortRows + 1000;
    m_model->addRows(manyRows(count));
    // The order a sort on this thread gives, for comparison.
    ResultRowList expected;
    for (ResultRow& row : manyRows(count))
        expected.add(std::move(row));
    expected.sort(Column::Name, true);
    select({5, 100});
    m_view->selectionModel()->setCurrentIndex(m_model->index(100, 0), QItemSelectionModel::NoUpdate);
    const QString selectedA = m_model->index(5, 0).data().toString();
    const QString current = m_model->index(100, 0).data().toString();

    QSignalSpy sorted(m_model.get(), &ResultListModel::sorted);
    clickHeader(0);
    QVERIFY2(m_model->isSorting(), "a long list sorts off the window's thread");
    // Rows that come meanwhile wait, and go on top once the sort is done.
    m_model->addRows({makeRow("zz-late", "")});
    QCOMPARE(m_model->rowCount(), count);
    QVERIFY(sorted.wait(20000));
    QVERIFY(!m_model->isSorting());
    QCOMPARE(m_model->rowCount(), count + 1);
    QCOMPARE(m_model->index(0, 0).data().toString(), QString("zz-late"));
    for (int r : {0, 1, 2, count / 2, count - 1})
        QCOMPARE(m_model->index(r + 1, 0).data().toString(), QString::fromStdString(std::string(expected.cellText(r, Column::Name))));
    // The selection and the current row follow their rows.
    const QList<int> selected = m_view->selectedRows();
    QCOMPARE(selected.size(), 2);
    QStringList selectedNames;
    for (int r : selected)
        selectedNames << m_model->index(r, 0).data().toString();
    QVERIFY(selectedNames.contains(selectedA));
    QVERIFY(selectedNames.contains(current));
    QCOMPARE(m_model->index(m_view->currentView()->currentIndex().row(), 0).data().toString(), current);
}

void ResultListTest::sortMovesTheSelectionItselfUnlessItIsLarge()
{
    // Each case: the rows selected, and the current row. The rows stay as many, so a
    // sort with a selection up to the limit changes no layout: the views repaint.
    const int count = 40;
    struct Case {
        const char* what;
        QList<int> selected;
        int current;
    };
    QList<int> everyRow;
    for (int r = 0; r < count; ++r)
        everyRow << r;
    const QList<Case> cases{{"none", {}, 7},
                            {"a run", {3, 4, 5, 6}, 5},
                            {"scattered", {0, 9, 17, 39}, 17},
                            {"all, current inside", everyRow, 12},
                            {"all, current on the first row", everyRow, 0}};
    for (const Case& c : cases) {
        m_model->clear();
        m_model->addRows(manyRows(count));
        select(c.selected);
        m_view->selectionModel()->setCurrentIndex(m_model->index(c.current, 0), QItemSelectionModel::NoUpdate);
        QStringList selectedBefore;
        for (int r : c.selected)
            selectedBefore << m_model->index(r, 0).data().toString();
        const QString current = m_model->index(c.current, 0).data().toString();
        QSignalSpy layouts(m_model.get(), &QAbstractItemModel::layoutChanged);
        QSignalSpy repaints(m_model.get(), &ResultListModel::reorderedInPlace);
        const QStringList before = names();
        m_model->sortByHeaderClick(0);
        QVERIFY2(names() != before, c.what);
        QStringList selectedAfter;
        for (int r : m_view->selectedRows())
            selectedAfter << m_model->index(r, 0).data().toString();
        selectedBefore.sort();
        selectedAfter.sort();
        QCOMPARE(selectedAfter, selectedBefore);
        QCOMPARE(m_model->index(m_view->currentView()->currentIndex().row(), 0).data().toString(), current);
        QVERIFY2(layouts.isEmpty(), c.what);
        QCOMPARE(repaints.count(), 1);
    }

    // More rows selected than the limit, not all: the views lay out again, and the
    // same rows stay selected.
    const int many = static_cast<int>(ResultListModel::kMostRowsReselected) + 100;
    m_model->clear();
    m_model->addRows(manyRows(many + 50));
    QItemSelectionModel* selection = m_view->selectionModel();
    selection->clearSelection();
    selection->select(QItemSelection(m_model->index(0, 0), m_model->index(many - 1, kColumnCount - 1)),
                      QItemSelectionModel::Select);
    selection->setCurrentIndex(m_model->index(many + 10, 0), QItemSelectionModel::NoUpdate);
    QSet<QString> selectedBefore;
    for (int r = 0; r < many; ++r)
        selectedBefore.insert(m_model->index(r, 0).data().toString());
    const QString current = m_model->index(many + 10, 0).data().toString();
    QSignalSpy layouts(m_model.get(), &QAbstractItemModel::layoutChanged);
    m_model->sortByHeaderClick(0);
    if (m_model->isSorting()) {
        QSignalSpy sorted(m_model.get(), &ResultListModel::sorted);
        QVERIFY(sorted.wait(20000));
    }
    QCOMPARE(layouts.count(), 1);
    QSet<QString> selectedAfter;
    for (int r : m_view->selectedRows())
        selectedAfter.insert(m_model->index(r, 0).data().toString());
    QCOMPARE(selectedAfter, selectedBefore);
    QCOMPARE(m_model->index(m_view->currentView()->currentIndex().row(), 0).data().toString(), current);
}

void ResultListTest::clearingGivesARunningSortUp()
{
    m_model->addRows(manyRows(ResultListModel::kBackgroundSortRows * 2));
    QSignalSpy sorted(m_model.get(), &ResultListModel::sorted);
    m_model->sort(0);
    QVERIFY(m_model->isSorting());
    m_model->addRows({makeRow("late", "")});
    m_model->clear(); // a new search starts
    QVERIFY(!m_model->isSorting());
    QCOMPARE(m_model->rowCount(), 0);
    m_model->addRows({makeRow("new", "")});
    QTest::qWait(200);
    QCOMPARE(sorted.count(), 0);
    QCOMPARE(names(), QStringList{"new"});
}

void ResultListTest::everyStyleShowsTheSameSelection()
{
    m_model->addRows({makeRow("1", ""), makeRow("2", ""), makeRow("3", ""), makeRow("4", "")});
    select({0, 2});
    QSignalSpy changed(m_view.get(), &CQVView::viewStyleChanged);
    const QList<CQVView::ViewStyle> styles{CQVView::ViewStyle::List, CQVView::ViewStyle::LargeIcons,
                                           CQVView::ViewStyle::SmallIcons, CQVView::ViewStyle::Details};
    for (const CQVView::ViewStyle style : styles) {
        m_view->setViewStyle(style);
        QCOMPARE(m_view->viewStyle(), style);
        QAbstractItemView* shown = m_view->currentView();
        QCOMPARE(m_view->currentWidget(), shown);
        QCOMPARE(shown->model(), m_model.get());
        QCOMPARE(shown->selectionModel(), m_view->selectionModel());
        QCOMPARE(m_view->selectedRows(), (QList<int>{0, 2}));
    }
    QCOMPARE(changed.size(), 4);
    QCOMPARE(changed.at(1).at(0).value<CQVView::ViewStyle>(), CQVView::ViewStyle::LargeIcons);

    // The large style shows the 32 px pictures, the others the 16 px ones.
    m_view->setViewStyle(CQVView::ViewStyle::LargeIcons);
    QCOMPARE(m_view->iconView()->iconSize(), QSize(32, 32));
    m_view->setViewStyle(CQVView::ViewStyle::List);
    QCOMPARE(m_view->iconView()->iconSize(), QSize(16, 16));
    // A selection made in an icon style is the details' selection too.
    m_view->iconView()->selectionModel()->select(m_model->index(3, 0), QItemSelectionModel::Select);
    m_view->setViewStyle(CQVView::ViewStyle::Details);
    QCOMPARE(m_view->selectedRows(), (QList<int>{0, 2, 3}));
    QCOMPARE(changed.size(), 7);
}

void ResultListTest::selectAllAndInvertEndWithTheFocusOnTheLastRow()
{
    m_model->addRows({makeRow("1", ""), makeRow("2", ""), makeRow("3", ""), makeRow("4", "")});
    select({0, 2}); // rows 1 and 3 of 4
    m_view->invertRowSelection();
    QCOMPARE(m_view->selectedRows(), (QList<int>{1, 3}));
    QCOMPARE(m_view->currentView()->currentIndex().row(), 3);

    select({1});
    m_view->selectionModel()->setCurrentIndex(m_model->index(0, 0), QItemSelectionModel::NoUpdate);
    m_view->selectAllRows();
    QCOMPARE(m_view->selectedRows(), (QList<int>{0, 1, 2, 3}));
    QCOMPARE(m_view->currentView()->currentIndex().row(), 3);
    m_view->invertRowSelection();
    QVERIFY(m_view->selectedRows().isEmpty());
}

void ResultListTest::hiddenColumnsKeepTheirPlaceAndComeBackAtTheWidthAsked()
{
    QHeaderView* header = m_view->detailsView()->header();
    QCOMPARE(m_view->columnWidth(1), 800 * 30 / 100);
    m_view->setColumnWidth(1, 0);
    QCOMPARE(m_view->columnWidth(1), 0);
    QVERIFY(header->isSectionHidden(1));
    QCOMPARE(header->visualIndex(1), 1);
    QCOMPARE(header->count(), 9);
    m_view->setColumnShown(1, true);
    QCOMPARE(m_view->columnWidth(1), 100);
    m_view->setColumnWidth(3, 250);
    QCOMPARE(header->sectionSize(3), 250);
    m_view->setColumnShown(3, false);
    QCOMPARE(m_view->columnWidth(3), 0);
    QCOMPARE(m_view->columnWidth(0), 800 * 30 / 100); // others untouched
}

void ResultListTest::doubleClicksOpenRowsAndRightDoubleClicksTheirFolders()
{
    // Added oldest first; shown newest on top.
    m_model->addRows({
        makeRow("b.txt", "\\\\QVHOST1\\public\\docs"),                          // 5
        makeRow("報告 1.txt", "\\\\QVHOST1\\public"),                           // 4
        makeRow("a.txt", "\\\\QVHOST1\\public"),                                // 3
        makeRow("\\\\QVHOST1\\PUBLIC", "QVGROUP1\\\\QVHOST1", {}, ImageShare), // 2
        makeRow("\\\\QVHOST1", "QVGROUP1", {}, ImageComputer),                  // 1
        makeRow("QVGROUP1", "", {}, ImageWorkgroup),                            // 0
    });
    QWidget* viewport = m_view->detailsView()->viewport();

    // Double-click on the workgroup row: it names nothing to open.
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, rowCentre(0));
    QCOMPARE(m_view->selectedRows(), QList<int>{0});
    QVERIFY(m_launcher.opened.isEmpty());

    QTest::mouseDClick(viewport, Qt::LeftButton, {}, rowCentre(1));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, rowCentre(2));
    // QUrl writes host names in lower case.
    QCOMPARE(m_launcher.opened, (QStringList{"smb://qvhost1", "smb://qvhost1/PUBLIC"}));

    // Three files selected, double-click on one: all three, top to bottom, whatever
    // order they were selected in.
    m_launcher.opened.clear();
    select({5, 3, 4});
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rowCentre(4));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, rowCentre(4));
    QCOMPARE(m_launcher.opened, (QStringList{"smb://qvhost1/public/a.txt", "smb://qvhost1/public/報告 1.txt",
                                             "smb://qvhost1/public/docs/b.txt"}));

    // Right double-click opens the folder of a file row; a computer row's Path is a
    // workgroup, which is no network path.
    m_launcher.opened.clear();
    select({});
    QTest::mouseDClick(viewport, Qt::RightButton, {}, rowCentre(5));
    QTest::mouseDClick(viewport, Qt::RightButton, {}, rowCentre(1));
    QCOMPARE(m_launcher.opened, QStringList{"smb://qvhost1/public/docs"});
    select({0, 1, 3, 5});
    m_launcher.opened.clear();
    QTest::mouseClick(viewport, Qt::RightButton, {}, rowCentre(3));
    QTest::mouseDClick(viewport, Qt::RightButton, {}, rowCentre(3));
    QCOMPARE(m_launcher.opened, (QStringList{"smb://qvhost1/public", "smb://qvhost1/public/docs"}));
    QCOMPARE(m_view->selectedRows(), (QList<int>{0, 1, 3, 5}));

    // The icon styles open the same way.
    m_launcher.opened.clear();
    select({});
    m_view->setViewStyle(CQVView::ViewStyle::SmallIcons);
    QListView* icons = m_view->iconView();
    QTest::mouseDClick(icons->viewport(), Qt::LeftButton, {}, icons->visualRect(m_model->index(3, 0)).center());
    QCOMPARE(m_launcher.opened, QStringList{"smb://qvhost1/public/a.txt"});
}

void ResultListTest::dragDataListsTheSelectedNetworkPathsTopToBottom()
{
    m_model->addRows({
        makeRow("c.txt", "\\\\QVHOST2\\data"),
        makeRow("QVGROUP1", "", {}, ImageWorkgroup),
        makeRow("b#1.txt", "\\\\QVHOST1\\public\\docs"),
        makeRow("a.txt", "\\\\QVHOST1\\public"),
    });
    const QModelIndex first = m_model->index(0, 0);
    QVERIFY(m_model->flags(first) & Qt::ItemIsDragEnabled);
    QCOMPARE(m_model->supportedDragActions(), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);

    // Every cell of the selected rows, selected bottom first, the workgroup among them.
    select({3, 2, 1, 0});
    std::unique_ptr<QMimeData> data(m_model->mimeData(m_view->selectionModel()->selectedIndexes()));
    QVERIFY(data);
    // QMimeData keeps the list as URLs, which write host names in lower case.
    QCOMPARE(data->data("text/uri-list"),
             QByteArray("smb://qvhost1/public/a.txt\r\nsmb://qvhost1/public/docs/b%231.txt\r\nsmb://qvhost2/data/c.txt\r\n"));
    QCOMPARE(data->text(), QString("\\\\QVHOST1\\public\\a.txt\n\\\\QVHOST1\\public\\docs\\b#1.txt\n\\\\QVHOST2\\data\\c.txt"));
    QCOMPARE(data->urls().size(), 3);

    // Only a workgroup: nothing to drag.
    select({2});
    QVERIFY(!m_model->mimeData(m_view->selectionModel()->selectedIndexes()));
}

void ResultListTest::rightButtonDragStartsADragOfTheSelection()
{
    m_model->addRows({makeRow("b.txt", "\\\\H\\s"), makeRow("a.txt", "\\\\H\\s")});
    select({0, 1});
    QWidget* viewport = m_view->detailsView()->viewport();
    // Where the platform runs the drag in an event loop of its own, end it.
    QTimer::singleShot(500, m_view.get(), [] { QDrag::cancel(); });
    const QPoint start = rowCentre(1);
    QTest::mousePress(viewport, Qt::RightButton, {}, start);
    QTest::mouseMove(viewport, start + QPoint(30, 0));
    // The drag object lives until the event loop runs again.
    const QDrag* drag = m_view->detailsView()->findChild<QDrag*>();
    QVERIFY(drag);
    QCOMPARE(drag->mimeData()->data("text/uri-list"), QByteArray("smb://h/s/a.txt\r\nsmb://h/s/b.txt\r\n"));
    QTest::mouseRelease(viewport, Qt::RightButton, {}, start + QPoint(30, 0));
    QCOMPARE(m_model->rowCount(), 2); // the rows stay
}

void ResultListTest::detailsDrawGridLines()
{
    m_model->addRows({makeRow("a.txt", "\\\\H\\s"), makeRow("b.txt", "\\\\H\\s")});
    QTreeView* details = m_view->detailsView();
    const QImage shot = details->viewport()->grab().toImage();
    QStyleOptionViewItem option;
    option.initFrom(details);
    const QColor grid =
        QColor::fromRgba(static_cast<QRgb>(details->style()->styleHint(QStyle::SH_Table_GridLineColor, &option, details)));
    // The bottom edge of a row and the right edge of the first column.
    const QRect cell = details->visualRect(m_model->index(1, 0));
    const qreal ratio = shot.devicePixelRatio();
    QCOMPARE(shot.pixelColor(QPoint(cell.center().x(), cell.bottom()) * ratio), grid);
    QCOMPARE(shot.pixelColor(QPoint(cell.right(), cell.center().y()) * ratio), grid);
}

QTEST_MAIN(ResultListTest)
#include "ResultListTest.moc"
