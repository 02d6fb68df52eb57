// The main window as a user meets it: panes and splitters, the menu, the toolbar,
// the keys the window binds and the ones it leaves to text boxes, the status bar,
// the help box and the frame's simple commands.
#include "ModalProbe.h"
#include "RecordingLauncher.h"

#include "app/CMainFrame.h"
#include "resources/CommandIds.h"
#include "app/CommandTarget.h"
#include "app/tree/CLeftView.h"
#include "app/results/CQVView.h"
#include "app/results/ResultListModel.h"
#include "app/CSearchForView.h"
#include "network/SearchServices.h"
#include "tests/gui/form/SlowFileSystem.h"
#include "tests/support/FakeFileTypes.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QStyleOptionButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <memory>

using namespace qv;

namespace {

// Commands that reach the routes behind the frame (document, application).
struct RecordingRoute final : CommandTarget {
    QList<int> ids;
    bool onCommand(int id) override
    {
        ids << id;
        return true;
    }
};

ResultRow row(const std::string& name)
{
    ResultRow r;
    r.cell(Column::Name) = name;
    r.cell(Column::Path) = "\\\\HOST\\share";
    return r;
}

// Every menu item below `menu` as "Top/Sub/Item text#id" ("-" for separators),
// with "[x]" for a checked item and "[ ]" for a checkable unchecked one.
void listMenu(const QMenu* menu, const QString& prefix, QStringList* out)
{
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            *out << prefix + "-";
        } else if (a->menu()) {
            listMenu(a->menu(), prefix + a->text() + "/", out);
        } else {
            QString line = prefix + a->text() + "#" + QString::number(a->data().toInt());
            if (a->isCheckable())
                line += a->isChecked() ? " [x]" : " [ ]";
            *out << line;
        }
    }
}

QAction* menuAction(CMainFrame& frame, int id)
{
    return frame.findChild<QAction*>(QStringLiteral("menu%1").arg(id));
}

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void threePanesInTwoSplitters();
    void splittersStartAt300And220AndKeepThemWhenTheWindowGrows();
    void firstRunShowsTheWholeFormWithEveryCaptionOnOneLine();
    void resultColumnsTakeTheirShareOfThePaneWidth();
    void menuHasEveryItemWithTextMnemonicCheckAndCommand();
    void toolbarButtonsHaveCommandsTipsAndPrompts();
    void acceleratorKeysRunTheirCommands();
    void editKeysAreLeftToTextBoxes();
    void ctrlAInATextBoxSelectsAllResultRows();
    void ctrlIInvertsTheRowSelection();
    void f6CyclesThroughThePanes();
    void statusBarHasMessagePaneAndThreeIndicators();
    void messagePaneShowsIdleTextPromptsAndSearchTexts();
    void helpCommandsShowTheHelpBox();
    void toolbarAndStatusBarItemsShowAndHide();
    void columnItemsHideAndShowColumnsAt100Pixels();
    void newSearchStartsThisProgramNeverOneOfTheStartDirectory();
    void choosingTheEntireNetworkSetsPlaceLevel0();
    void closesAtOnceWhenNoSearchRuns();
    void closeDuringASearchWaitsForTheWorkerThenCloses();
    void closeWhilePausedStopsTheSearchAndCloses();

private:
    std::shared_ptr<RecordingLauncher> m_launcher;
    std::unique_ptr<QTemporaryDir> m_startDir;
    std::unique_ptr<CMainFrame> m_frame;
    RecordingRoute m_route;
};

void MainFrameTest::init()
{
    m_launcher = std::make_shared<RecordingLauncher>();
    m_startDir = std::make_unique<QTemporaryDir>();
    m_frame = std::make_unique<CMainFrame>(m_launcher);
    m_route.ids.clear();
    m_frame->addCommandRoute(&m_route);
    m_frame->setLockKeySource([] { return LockKeys{}; });
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    m_frame->activateWindow();
}

void MainFrameTest::cleanup()
{
    m_frame.reset();
}

void MainFrameTest::threePanesInTwoSplitters()
{
    QSplitter* outer = m_frame->outerSplitter();
    QSplitter* inner = m_frame->innerSplitter();
    QCOMPARE(m_frame->centralWidget(), outer);
    QCOMPARE(outer->orientation(), Qt::Horizontal);
    QCOMPARE(outer->count(), 2);
    QCOMPARE(outer->widget(0), inner);
    QVERIFY(qobject_cast<CQVView*>(outer->widget(1)));
    QCOMPARE(outer->widget(1), m_frame->rightPane());
    QCOMPARE(inner->orientation(), Qt::Vertical);
    QCOMPARE(inner->count(), 2);
    QCOMPARE(inner->widget(0), m_frame->searchFormPane());
    QVERIFY(qobject_cast<CLeftView*>(inner->widget(1)));
    QVERIFY(qobject_cast<CSearchForView*>(inner->widget(0)));
    QCOMPARE(m_frame->rightPane()->detailsView()->model(), m_frame->resultModel());
}

void MainFrameTest::splittersStartAt300And220AndKeepThemWhenTheWindowGrows()
{
    QCOMPARE(m_frame->outerSplitter()->sizes().value(0), 300);
    QCOMPARE(m_frame->innerSplitter()->sizes().value(0), 220);
    m_frame->resize(m_frame->width() + 200, m_frame->height() + 150);
    QTRY_COMPARE(m_frame->outerSplitter()->width(), m_frame->centralWidget()->width());
    QCOMPARE(m_frame->outerSplitter()->sizes().value(0), 300);
    QCOMPARE(m_frame->innerSplitter()->sizes().value(0), 220);
}

void MainFrameTest::resultColumnsTakeTheirShareOfThePaneWidth()
{
    // Set up at the first show from the pane's width then; later resizes keep them.
    CQVView* view = m_frame->rightPane();
    const int w = view->width();
    const int percent[9] = {30, 30, 14, 12, 14, 14, 14, 14, 14};
    QCOMPARE(view->resultModel()->columnCount(), 9);
    for (int c = 0; c < 9; ++c)
        QCOMPARE(view->detailsView()->header()->sectionSize(c), w * percent[c] / 100);
    QCOMPARE(view->detailsView()->header()->defaultAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    m_frame->resize(m_frame->width() + 300, m_frame->height());
    QTRY_VERIFY(view->width() > w);
    QCOMPARE(view->detailsView()->header()->sectionSize(0), w * 30 / 100);
}

void MainFrameTest::menuHasEveryItemWithTextMnemonicCheckAndCommand()
{
    QStringList tops;
    for (QAction* a : m_frame->menuBar()->actions())
        tops << a->text();
    QCOMPARE(tops, (QStringList{"ファイル(&F)", "編集(&E)", "表示(&V)", "ヘルプ(&H)"}));
    // Alt+F, Alt+E, Alt+V, Alt+H open the menus.
    QCOMPARE(QKeySequence::mnemonic(tops[0]), QKeySequence(Qt::ALT | Qt::Key_F));
    QCOMPARE(QKeySequence::mnemonic(tops[3]), QKeySequence(Qt::ALT | Qt::Key_H));

    QStringList items;
    for (QAction* a : m_frame->menuBar()->actions())
        listMenu(a->menu(), a->text() + "/", &items);
    const QStringList expected{
        "ファイル(&F)/新規検索(&N)\tCtrl+N#57600",
        "ファイル(&F)/検索結果を保存する(&S)...\tCtrl+S#57604",
        "ファイル(&F)/ネットワークドライブを割り当て(&D)\tCtrl+D#32775",
        "ファイル(&F)/-",
        "ファイル(&F)/フォント(&F)\tCtrl+F#32777",
        "ファイル(&F)/-",
        "ファイル(&F)/選択されるファイルをプリント(&P)\tCtrl+P#32794",
        "ファイル(&F)/-",
        "ファイル(&F)/閉じる(&X)#57665",
        "編集(&E)/全て選択(&A)\tCtrl+A#32779",
        "編集(&E)/選択の切り替え(&I)\tCtrl+I#32785",
        "表示(&V)/ツールバー(&T)#59392 [x]",
        "表示(&V)/ステータスバー(&S)#59393 [x]",
        "表示(&V)/コラム(&C)/名前(&N)#32814 [x]",
        "表示(&V)/コラム(&C)/パス(&P)#32813 [x]",
        "表示(&V)/コラム(&C)/サイズ(&Z)#32809 [x]",
        "表示(&V)/コラム(&C)/タイプ(&T)#32811 [x]",
        "表示(&V)/コラム(&C)/更新時間(&U)#32804 [x]",
        "表示(&V)/コラム(&C)/新規時間(&C)#32805 [x]",
        "表示(&V)/コラム(&C)/アクセス時間(&A)#32806 [x]",
        "表示(&V)/コラム(&C)/マッチ(&M)#32807 [x]",
        "表示(&V)/コラム(&C)/マッチ文字列(&S)#32808 [x]",
        "ヘルプ(&H)/EMAILをください(&M)#32796",
        "ヘルプ(&H)/ヘルプ(&H)#32776",
        "ヘルプ(&H)/-",
        "ヘルプ(&H)/Quendle(&A)について#57664",
    };
    QCOMPARE(items, expected);

    // The key names are text only: a shortcut on a menu item would clash with the
    // accelerator of another command on the same key (Ctrl+F is 32782, the item 32777).
    for (QAction* a : m_frame->findChildren<QAction*>())
        if (a->objectName().startsWith("menu"))
            QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->text()));
}

void MainFrameTest::toolbarButtonsHaveCommandsTipsAndPrompts()
{
    QToolBar* bar = m_frame->toolbar();
    QCOMPARE(m_frame->toolBarArea(bar), Qt::TopToolBarArea);
    QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);
    QVERIFY(bar->isMovable()); // the gripper
    QVERIFY(bar->isFloatable());
    QCOMPARE(bar->iconSize(), QSize(20, 20));

    QStringList buttons;
    for (QAction* a : bar->actions()) {
        if (a->isSeparator()) {
            buttons << "-";
            continue;
        }
        QVERIFY2(!a->icon().isNull(), qPrintable(a->toolTip()));
        QCOMPARE(a->icon().pixmap(20, 20).size(), QSize(20, 20));
        auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(a));
        QVERIFY(button);
        QVERIFY(button->autoRaise()); // flat
        buttons << QString("%1|%2|%3").arg(a->data().toInt()).arg(a->toolTip(), a->statusTip());
    }
    const QStringList expected{
        "57600|新規検索|",
        "57603|結果を保存|結果を保存",
        "32771|ネットワークドライブを割り当てる|ネットワークドライブを割り当てる",
        "32793|選択されるファイルを印刷|選択されるファイルを印刷",
        "-",
        "59409|大アイコン|大アイコン",
        "59408|小アイコン|小アイコン",
        "59410|一覧|一覧",
        "59411|詳細|詳細",
        "32782|フォント|フォント",
        "-",
        "32790|ヘルプ|",
        "57664|Quendleについて|",
    };
    QCOMPARE(buttons, expected);
    // Each button shows its own image: the strip is cut at the right places.
    QList<QImage> images;
    for (QAction* a : bar->actions())
        if (!a->isSeparator())
            images << a->icon().pixmap(20, 20).toImage();
    for (int i = 0; i < images.size(); ++i)
        for (int j = i + 1; j < images.size(); ++j)
            QVERIFY2(images[i] != images[j], qPrintable(QString("buttons %1 and %2").arg(i).arg(j)));
}

void MainFrameTest::acceleratorKeysRunTheirCommands()
{
    // The report and help-hook commands go past the frame to its routes; the keys
    // must reach them whichever pane has the focus.
    m_frame->rightPane()->setFocus();
    QTest::keyClick(m_frame.get(), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(m_frame.get(), Qt::Key_S, Qt::AltModifier);
    m_frame->locationTree()->setFocus();
    QTest::keyClick(m_frame->locationTree(), Qt::Key_F1);
    QCOMPARE(m_route.ids, (QList<int>{cmd::SaveResultAs, cmd::SaveResult, cmd::HelpHook}));

    // The whole table, as bound on the window.
    QMap<QString, int> bound;
    for (QAction* a : m_frame->actions())
        if (!a->shortcut().isEmpty()) {
            QCOMPARE(a->shortcutContext(), Qt::WindowShortcut);
            bound.insert(a->shortcut().toString(QKeySequence::PortableText), a->data().toInt());
        }
    const QMap<QString, int> expected{
        {"Ctrl+N", 57600}, {"Ctrl+S", 57604}, {"Alt+S", 57603}, {"Ctrl+D", 32775},
        {"Ctrl+F", 32782}, {"Ctrl+T", 32777}, {"Ctrl+P", 32741}, {"Ctrl+A", 32778},
        {"Ctrl+I", 32785}, {"F6", 57680},     {"Shift+F6", 57681}, {"F1", 57670},
    };
    QCOMPARE(bound, expected);

    // Ctrl+N really runs new search (the frame's own command).
    QTest::keyClick(m_frame.get(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(m_launcher->started.size(), 1);
}

void MainFrameTest::editKeysAreLeftToTextBoxes()
{
    const QList<QKeySequence> editKeys{
        QKeySequence(Qt::CTRL | Qt::Key_C),      QKeySequence(Qt::CTRL | Qt::Key_X),
        QKeySequence(Qt::CTRL | Qt::Key_V),      QKeySequence(Qt::CTRL | Qt::Key_Z),
        QKeySequence(Qt::CTRL | Qt::Key_Insert), QKeySequence(Qt::SHIFT | Qt::Key_Insert),
        QKeySequence(Qt::SHIFT | Qt::Key_Delete), QKeySequence(Qt::ALT | Qt::Key_Backspace),
    };
    for (QAction* a : m_frame->findChildren<QAction*>())
        for (const QKeySequence& key : editKeys)
            QVERIFY2(!a->shortcuts().contains(key), qPrintable(key.toString()));

    // A text box in the form pane: copy, cut and paste work there.
    auto* edit = new QLineEdit(m_frame->searchFormPane());
    edit->show();
    edit->setText("report.txt");
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    edit->selectAll();
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("report.txt"));
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(edit->text(), QString());
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text(), QString("report.txtreport.txt"));
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit->text(), QString("report.txt"));
    QVERIFY(m_route.ids.isEmpty());
}

void MainFrameTest::ctrlAInATextBoxSelectsAllResultRows()
{
    m_frame->resultModel()->addRows({row("a"), row("b"), row("c")});
    auto* edit = new QLineEdit(m_frame->searchFormPane());
    edit->show();
    edit->setText("name");
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    CQVView* view = m_frame->rightPane();
    QCOMPARE(view->selectedRows().size(), 3);
    QCOMPARE(view->currentView()->currentIndex().row(), 2); // each row took the focus; the last keeps it
    QVERIFY(view->hasFocus());              // the result list became the active pane
    QVERIFY(!edit->hasSelectedText());      // the text box did not select its text
}

void MainFrameTest::ctrlIInvertsTheRowSelection()
{
    m_frame->resultModel()->addRows({row("1"), row("2"), row("3"), row("4")});
    CQVView* view = m_frame->rightPane();
    auto* selection = view->selectionModel();
    selection->select(view->resultModel()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(view->resultModel()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_frame->locationTree()->setFocus();
    QTest::keyClick(m_frame->locationTree(), Qt::Key_I, Qt::ControlModifier);
    QList<int> rows;
    for (const QModelIndex& i : selection->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    QCOMPARE(rows, (QList<int>{1, 3}));
    QVERIFY(view->hasFocus());
}

void MainFrameTest::f6CyclesThroughThePanes()
{
    auto inPane = [](QWidget* pane) {
        QWidget* f = QApplication::focusWidget();
        return f && (f == pane || pane->isAncestorOf(f));
    };
    // The form pane needs something that takes the focus, placeholder or not.
    auto* edit = new QLineEdit(m_frame->searchFormPane());
    edit->show();
    m_frame->rightPane()->setFocus();
    QTRY_VERIFY(inPane(m_frame->rightPane()));
    QTest::keyClick(m_frame->rightPane(), Qt::Key_F6);
    QTRY_VERIFY(inPane(m_frame->searchFormPane()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    QTRY_VERIFY(inPane(m_frame->locationTree()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    QTRY_VERIFY(inPane(m_frame->rightPane()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
    QTRY_VERIFY(inPane(m_frame->locationTree()));
}

void MainFrameTest::statusBarHasMessagePaneAndThreeIndicators()
{
    QStatusBar* bar = m_frame->statusBar();
    QVERIFY(bar->isVisible());
    QVERIFY(bar->geometry().top() > m_frame->centralWidget()->geometry().bottom());
    // Left to right: the stretching message pane, then CAP, NUM, SCRL.
    QList<QLabel*> panes = bar->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    std::sort(panes.begin(), panes.end(), [](QLabel* a, QLabel* b) { return a->x() < b->x(); });
    QCOMPARE(panes.size(), 4);
    QCOMPARE(panes[0]->objectName(), QString("messagePane"));
    QVERIFY(panes[0]->width() > bar->width() / 2);
    QCOMPARE(panes[1]->objectName(), QString("indicatorCAP"));
    QCOMPARE(panes[2]->objectName(), QString("indicatorNUM"));
    QCOMPARE(panes[3]->objectName(), QString("indicatorSCRL"));

    // An indicator names its lock while the lock is on, and keeps its width when off.
    const int width = panes[1]->width();
    m_frame->setLockKeySource([] { return LockKeys{true, false, true}; });
    QCOMPARE(panes[1]->text(), QString("CAP"));
    QCOMPARE(panes[2]->text(), QString());
    QCOMPARE(panes[3]->text(), QString("SCRL"));
    m_frame->setLockKeySource([] { return LockKeys{false, true, false}; });
    QCOMPARE(panes[1]->text(), QString());
    QCOMPARE(panes[2]->text(), QString("NUM"));
    QCOMPARE(panes[1]->width(), width);
}

void MainFrameTest::messagePaneShowsIdleTextPromptsAndSearchTexts()
{
    const QString idle = QString(QChar(0x3000)); // one ideographic space
    QCOMPARE(m_frame->messageText(), idle);

    // Resting on a button shows its prompt; leaving it brings the idle text back.
    QAction* save = m_frame->findChild<QAction*>("button57603");
    QVERIFY(save);
    QWidget* button = m_frame->toolbar()->widgetForAction(save);
    QEnterEvent enter(QPointF(2, 2), button->mapTo(m_frame.get(), QPointF(2, 2)), button->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(button, &enter);
    QCOMPARE(m_frame->messageText(), QString("結果を保存"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    QCOMPARE(m_frame->messageText(), idle);
    // A button without a prompt string shows nothing of its own.
    QWidget* about = m_frame->toolbar()->widgetForAction(m_frame->findChild<QAction*>("button57664"));
    QApplication::sendEvent(about, &enter);
    QCOMPARE(m_frame->messageText(), idle);

    m_frame->setMessageText("ネットワーク全体を検索 ...");
    QCOMPARE(m_frame->messageText(), QString("ネットワーク全体を検索 ..."));
    m_frame->setMessageText(QString());
    QCOMPARE(m_frame->messageText(), idle);

    // The form's status texts reach the pane.
    emit m_frame->searchForm()->statusText("3個見つかりました");
    QCOMPARE(m_frame->messageText(), QString("3個見つかりました"));
    emit m_frame->searchForm()->statusText(QString());
    QCOMPARE(m_frame->messageText(), idle);
}

void MainFrameTest::helpCommandsShowTheHelpBox()
{
    for (int id : {cmd::HelpMenu, cmd::HelpButton}) {
        ModalSeen seen;
        probeNextModal(&seen);
        QAction* action = m_frame->findChild<QAction*>(QString(id == cmd::HelpMenu ? "menu%1" : "button%1").arg(id));
        QVERIFY(action);
        action->trigger(); // returns when the box is closed
        QVERIFY(seen.shown);
        QCOMPARE(seen.objectName, QString("helpBox"));
        QCOMPARE(seen.title, QString("Help"));
        QCOMPARE(seen.labels.value(0), QString("このアプリケーションといっしょに配布されるhelp.htmを見てください"));
        QVERIFY(seen.okIsDefault);
        QVERIFY(seen.childrenInside);
        QVERIFY(seen.textsClearOfOk);
        QVERIFY(seen.size.width() > seen.size.height() * 2); // a wide box, as its template
    }
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void MainFrameTest::toolbarAndStatusBarItemsShowAndHide()
{
    QAction* toolbarItem = menuAction(*m_frame, cmd::ViewToolbar);
    QAction* statusItem = menuAction(*m_frame, cmd::ViewStatusBar);
    toolbarItem->trigger();
    QVERIFY(m_frame->toolbar()->isHidden());
    QVERIFY(!toolbarItem->isChecked());
    toolbarItem->trigger();
    QVERIFY(m_frame->toolbar()->isVisible());
    QVERIFY(toolbarItem->isChecked());

    statusItem->trigger();
    QVERIFY(m_frame->statusBar()->isHidden());
    QVERIFY(!statusItem->isChecked());
    statusItem->trigger();
    QVERIFY(m_frame->statusBar()->isVisible());
    QVERIFY(statusItem->isChecked());

    // Closing the toolbar some other way clears the check mark too.
    m_frame->toolbar()->hide();
    QVERIFY(!toolbarItem->isChecked());
}

void MainFrameTest::columnItemsHideAndShowColumnsAt100Pixels()
{
    QHeaderView* header = m_frame->rightPane()->detailsView()->header();
    QAction* path = menuAction(*m_frame, cmd::ColumnPath);
    path->trigger();
    QVERIFY(!path->isChecked());
    QVERIFY(header->isSectionHidden(1));
    QCOMPARE(header->visualIndex(1), 1); // keeps its place
    path->trigger();
    QVERIFY(path->isChecked());
    QVERIFY(!header->isSectionHidden(1));
    QCOMPARE(header->sectionSize(1), 100);
    // Another column is untouched.
    QVERIFY(!header->isSectionHidden(0));
}

// New search started an executable "qv" planted in the folder the program was
// started from.
void MainFrameTest::newSearchStartsThisProgramNeverOneOfTheStartDirectory()
{
    const QString before = QDir::currentPath();
    QDir::setCurrent(m_startDir->path());
    const auto back = qScopeGuard([&] { QDir::setCurrent(before); });
    menuAction(*m_frame, cmd::NewSearch)->trigger();
    QCOMPARE(m_launcher->started, QStringList{QCoreApplication::applicationFilePath()});

    QFile program(m_startDir->filePath("qv"));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.write("#!/bin/sh\n");
    program.close();
    QVERIFY(program.setPermissions(program.permissions() | QFile::ExeOwner));
    QTest::keyClick(m_frame.get(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(m_launcher->started,
             (QStringList{QCoreApplication::applicationFilePath(), QCoreApplication::applicationFilePath()}));
}

void MainFrameTest::choosingTheEntireNetworkSetsPlaceLevel0()
{
    CLeftView* tree = m_frame->locationTree();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* item = tree->topLevelItem(0);
    QCOMPARE(item->text(0), QString("ネットワーク全体"));
    QVERIFY(!item->icon(0).isNull());
    QSignalSpy places(tree, &CLeftView::placeSelected);
    tree->setCurrentItem(item);
    QCOMPARE(places.size(), 1);
    const auto place = places.at(0).at(0).value<SearchPlace>();
    QCOMPARE(place.level, int(LevelEntireNetwork));
    QCOMPARE(m_frame->searchForm()->searchPlace().level, int(LevelEntireNetwork));
    QCOMPARE(QString::fromStdString(m_frame->searchForm()->searchPlace().placePath), QString("ネットワーク全体"));
}

void MainFrameTest::closesAtOnceWhenNoSearchRuns()
{
    QVERIFY(m_frame->isVisible());
    menuAction(*m_frame, cmd::AppExit)->trigger();
    QVERIFY(!m_frame->isVisible());
}

namespace {

// Points the frame's form at a local folder "/mem" of `files` and starts a search.
void startSearchOf(CMainFrame& frame, std::shared_ptr<FileSystem> files)
{
    auto services = std::make_shared<SearchServices>();
    services->localFiles = std::move(files);
    services->fileTypes = std::make_shared<test::FakeFileTypes>();
    frame.searchForm()->setSearchServices(services);
    SearchPlace place;
    place.level = LevelFolder;
    place.placePath = place.walkRoot = "/mem";
    place.local = true;
    frame.searchForm()->setSearchPlace(place);
    frame.searchForm()->startSearch();
}

} // namespace

void MainFrameTest::closeDuringASearchWaitsForTheWorkerThenCloses()
{
    auto slow = std::make_shared<test::SlowFileSystem>(5, 2, 0);
    slow->closeGate(); // the worker waits inside its first listing
    // A failed check must not leave the worker held while the frame is destroyed.
    const std::shared_ptr<void> opener(nullptr, [slow](void*) { slow->openGate(); });
    startSearchOf(*m_frame, slow);
    QVERIFY(QTest::qWaitFor([&] { return slow->entered() >= 1; }, 5000));

    QVERIFY(!m_frame->close()); // refused: the search is asked to stop
    QTest::qWait(100);
    QVERIFY(m_frame->isVisible());
    slow->openGate();
    // The worker's end closes the window without a second request.
    QTRY_VERIFY_WITH_TIMEOUT(!m_frame->isVisible(), 5000);
}

void MainFrameTest::closeWhilePausedStopsTheSearchAndCloses()
{
    auto slow = std::make_shared<test::SlowFileSystem>(200, 1, 10);
    startSearchOf(*m_frame, slow);
    QVERIFY(QTest::qWaitFor([&] { return slow->listed() >= 2; }, 5000));
    m_frame->searchForm()->pauseOrResume();
    menuAction(*m_frame, cmd::AppExit)->trigger();
    QVERIFY(m_frame->isVisible()); // the worker's end is needed to close
    QTRY_VERIFY_WITH_TIMEOUT(!m_frame->isVisible(), 5000);
    QVERIFY(slow->entered() < 201); // stopped, not run to its end
}

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"

// Regression: dialog units taken from the line height of the kana-and-kanji fallback
// font made the form a third taller than its pane, so Search, Stop and Pause sat
// below the 220 px pane, and 含まれる文字列: wrapped onto two lines.
void MainFrameTest::firstRunShowsTheWholeFormWithEveryCaptionOnOneLine()
{
    auto* scroll = m_frame->searchFormPane()->findChild<QScrollArea*>();
    QVERIFY(scroll);
    QWidget* viewport = scroll->viewport();
    QCOMPARE(scroll->verticalScrollBar()->value(), 0);
    QCOMPARE(scroll->horizontalScrollBar()->value(), 0);
    const QRect visible = viewport->rect();
    for (const FormControl id : {FormControl::NameBox, FormControl::TypeList, FormControl::ContainingCheck,
                                 FormControl::ContainingBox, FormControl::PlaceBox, FormControl::SubFolders,
                                 FormControl::OptionsCheck, FormControl::SearchButton, FormControl::StopButton,
                                 FormControl::PauseButton}) {
        QWidget* w = m_frame->searchForm()->control(id);
        const QRect r(w->mapTo(viewport, QPoint(0, 0)), w->size());
        QVERIFY2(visible.contains(r), qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 outside the %6 px high pane")
                                                    .arg(w->objectName()).arg(r.x()).arg(r.y()).arg(r.width())
                                                    .arg(r.height()).arg(visible.height())));
    }
    // Every caption fits its label on one line and covers no other control.
    const QList<QWidget*> controls = scroll->widget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QLabel* label : scroll->widget()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        // The option area is hidden at first; its time captions lie under the pickers
        // by design.
        if (label->text().isEmpty() || !label->isVisible())
            continue;
        QVERIFY2(!label->wordWrap(), qPrintable(label->text()));
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), qPrintable(label->text()));
        // The line of text as it is painted (centred in the label's cell).
        const QFontMetrics fm = label->fontMetrics();
        const QRect text(label->x(), label->y() + (label->height() - fm.height()) / 2,
                         fm.horizontalAdvance(label->text()), fm.height());
        for (QWidget* other : controls)
            if (other != label && other->isVisible() && !qobject_cast<QGroupBox*>(other))
                QVERIFY2(!text.intersects(other->geometry()),
                         qPrintable(label->text() + QStringLiteral(" covers ") + other->objectName()));
    }
    for (QCheckBox* box : scroll->widget()->findChildren<QCheckBox*>()) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const int needed = box->style()->sizeFromContents(QStyle::CT_CheckBox, &option,
                                                          box->fontMetrics().size(Qt::TextShowMnemonic, box->text()), box).width();
        QVERIFY2(needed <= box->width() + 2, qPrintable(QStringLiteral("%1: %2 px in %3").arg(box->text()).arg(needed).arg(box->width())));
    }
}
