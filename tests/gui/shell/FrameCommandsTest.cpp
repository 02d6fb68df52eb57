// The frame's commands that act through the panes and the desktop: view styles and
// their radio buttons, printing the selected files, the font for the panes, mapping
// a share, mail. The desktop is a recording launcher; dialogs are answered by code.
#include "RecordingLauncher.h"

#include "app/CMainFrame.h"
#include "app/CSearchForView.h"
#include "resources/CommandIds.h"
#include "app/MapDriveDialog.h"
#include "app/tree/CLeftView.h"
#include "app/results/CQVView.h"
#include "app/results/ResultListModel.h"

#include <QAction>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <memory>

using namespace qv;

namespace {

ResultRow makeRow(const std::string& name, const std::string& path, int image = kFirstFileImage)
{
    ResultRow r;
    r.cell(Column::Name) = name;
    r.cell(Column::Path) = path;
    r.image = image;
    return r;
}

} // namespace

class FrameCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void styleButtonsFollowTheListStyle();
    void printHandsEachSelectedRowPathToThePrintServiceInListOrder();
    void printWithoutRowsOrSelectionDoesNothing();
    void chosenFontReachesFormListAndTreeButNotTheToolbar();
    void mapDriveMountsTheChosenShareOnly();
    void shareNamesBecomeSmbUrls();
    void mailOpensTheContactAddressWithTheSubject();

private:
    void select(const QList<int>& rows);
    void trigger(const QString& objectName);

    std::shared_ptr<RecordingLauncher> m_launcher;
    std::unique_ptr<CMainFrame> m_frame;
};

void FrameCommandsTest::init()
{
    m_launcher = std::make_shared<RecordingLauncher>();
    m_frame = std::make_unique<CMainFrame>(m_launcher);
    m_frame->setLockKeySource([] { return LockKeys{}; });
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
}

void FrameCommandsTest::cleanup()
{
    m_frame.reset();
}

void FrameCommandsTest::select(const QList<int>& rows)
{
    CQVView* view = m_frame->rightPane();
    QItemSelectionModel* selection = view->currentView()->selectionModel();
    selection->clearSelection();
    for (int r : rows)
        selection->select(m_frame->resultModel()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void FrameCommandsTest::trigger(const QString& objectName)
{
    QAction* action = m_frame->findChild<QAction*>(objectName);
    QVERIFY2(action, qPrintable(objectName));
    action->trigger();
}

void FrameCommandsTest::styleButtonsFollowTheListStyle()
{
    auto checkedButtons = [this] {
        QList<int> ids;
        for (int id = cmd::ViewSmallIcons; id <= cmd::ViewDetails; ++id) {
            const QAction* button = m_frame->findChild<QAction*>(QStringLiteral("button%1").arg(id));
            if (button && button->isChecked())
                ids << id;
        }
        return ids;
    };
    QCOMPARE(checkedButtons(), QList<int>{cmd::ViewDetails});

    trigger(QStringLiteral("button%1").arg(cmd::ViewList));
    QCOMPARE(m_frame->rightPane()->viewStyle(), CQVView::ViewStyle::List);
    QCOMPARE(checkedButtons(), QList<int>{cmd::ViewList});

    // Also when the style changes by the command's number rather than the button.
    m_frame->executeCommand(cmd::ViewLargeIcons);
    QCOMPARE(m_frame->rightPane()->viewStyle(), CQVView::ViewStyle::LargeIcons);
    QCOMPARE(checkedButtons(), QList<int>{cmd::ViewLargeIcons});

    m_frame->executeCommand(cmd::ViewSmallIcons);
    QCOMPARE(m_frame->rightPane()->viewStyle(), CQVView::ViewStyle::SmallIcons);
    QCOMPARE(checkedButtons(), QList<int>{cmd::ViewSmallIcons});

    // The same rows stay selected whatever the style.
    m_frame->resultModel()->addRows({makeRow("a.txt", "\\\\H\\s"), makeRow("b.txt", "\\\\H\\s")});
    select({1});
    m_frame->executeCommand(cmd::ViewDetails);
    QCOMPARE(checkedButtons(), QList<int>{cmd::ViewDetails});
    QCOMPARE(m_frame->rightPane()->selectedRows(), QList<int>{1});
}

void FrameCommandsTest::printHandsEachSelectedRowPathToThePrintServiceInListOrder()
{
    // Added oldest first; the list shows them newest on top (index 0 = "d.txt").
    m_frame->resultModel()->addRows({
        makeRow("QVGROUP1", "", ImageWorkgroup),              // 4: no network path
        makeRow("\\\\HOST", "QVGROUP1", ImageComputer),       // 3: the computer itself
        makeRow("b.txt", "\\\\HOST\\share\\docs"),            // 2
        makeRow("local.txt", "/tmp"),                         // 1: not a network file
        makeRow("d.txt", "\\\\HOST\\share"),                  // 0
    });
    select({4, 2, 0, 3, 1});
    trigger(QStringLiteral("button%1").arg(cmd::PrintButton));
    QCOMPARE(m_launcher->printed,
             (QStringList{"\\\\HOST\\share\\d.txt", "\\\\HOST\\share\\docs\\b.txt", "\\\\HOST"}));

    m_launcher->printed.clear();
    select({2});
    m_frame->executeCommand(cmd::PrintAccel);
    m_frame->executeCommand(cmd::PrintMenu);
    QCOMPARE(m_launcher->printed, (QStringList{"\\\\HOST\\share\\docs\\b.txt", "\\\\HOST\\share\\docs\\b.txt"}));
}

void FrameCommandsTest::printWithoutRowsOrSelectionDoesNothing()
{
    m_frame->executeCommand(cmd::PrintButton);
    m_frame->resultModel()->addRows({makeRow("a.txt", "\\\\H\\s")});
    select({});
    m_frame->executeCommand(cmd::PrintButton);
    QVERIFY(m_launcher->printed.isEmpty());
    QVERIFY(m_launcher->opened.isEmpty());
}

void FrameCommandsTest::chosenFontReachesFormListAndTreeButNotTheToolbar()
{
    QFont chosen(QStringLiteral("Noto Sans CJK JP"), 15);
    chosen.setUnderline(true);
    const QFont toolbarFont = m_frame->toolbar()->font();
    int asked = 0;
    QWidget* owner = nullptr;
    m_frame->setFontChooser([&](QWidget* parent) -> std::optional<QFont> {
        ++asked;
        owner = parent;
        return chosen;
    });
    trigger(QStringLiteral("button%1").arg(cmd::FontButton));
    QCOMPARE(asked, 1);
    QCOMPARE(owner, static_cast<QWidget*>(m_frame.get()));
    QVERIFY(m_frame->paneFont().has_value());

    auto* nameBox = m_frame->searchForm()->findChild<QComboBox*>();
    QVERIFY(nameBox);
    QCOMPARE(nameBox->font().pointSize(), 15);
    QVERIFY(nameBox->font().underline());
    QCOMPARE(m_frame->rightPane()->currentView()->font().pointSize(), 15);
    QCOMPARE(m_frame->locationTree()->font().pointSize(), 15);
    QCOMPARE(m_frame->toolbar()->font(), toolbarFont);

    // Cancel keeps the font in use.
    m_frame->setFontChooser([](QWidget*) { return std::optional<QFont>(); });
    m_frame->executeCommand(cmd::FontMenu);
    QCOMPARE(m_frame->locationTree()->font().pointSize(), 15);
}

void FrameCommandsTest::mapDriveMountsTheChosenShareOnly()
{
    QUrl answer(QStringLiteral("smb://qvhost1/public")); // QUrl keeps host names in lower case
    m_frame->setShareChooser([&](QWidget*) { return answer; });
    trigger(QStringLiteral("button%1").arg(cmd::MapDriveButton));
    QCOMPARE(m_launcher->mounted, QStringList{"smb://qvhost1/public"});

    answer = QUrl(); // Cancel
    m_frame->executeCommand(cmd::MapDriveMenu);
    QCOMPARE(m_launcher->mounted.size(), 1);
}

void FrameCommandsTest::shareNamesBecomeSmbUrls()
{
    QCOMPARE(MapDriveDialog::shareUrl("\\\\QVHOST1\\public").toString(), QStringLiteral("smb://qvhost1/public")); // QUrl keeps host names in lower case
    QCOMPARE(MapDriveDialog::shareUrl("\\\\QVHOST1\\my share#1").toString(QUrl::FullyEncoded),
             QStringLiteral("smb://qvhost1/my%20share%231"));
    QVERIFY(MapDriveDialog::shareUrl("\\\\QVHOST1").isEmpty());           // a computer
    QVERIFY(MapDriveDialog::shareUrl("\\\\QVHOST1\\public\\docs").isEmpty()); // a folder
    QVERIFY(MapDriveDialog::shareUrl("QVGROUP1").isEmpty());
    QVERIFY(MapDriveDialog::shareUrl("").isEmpty());

    // The dialog offers OK only for a share's name.
    MapDriveDialog dialog;
    auto* box = dialog.findChild<QLineEdit*>(QStringLiteral("shareBox"));
    auto* ok = dialog.findChild<QWidget*>(QStringLiteral("okButton"));
    QVERIFY(box && ok);
    QVERIFY(!ok->isEnabled());
    box->setText(QStringLiteral("\\\\QVHOST1"));
    QVERIFY(!ok->isEnabled());
    box->setText(QStringLiteral("  \\\\QVHOST1\\public "));
    QVERIFY(ok->isEnabled());
}

void FrameCommandsTest::mailOpensTheContactAddressWithTheSubject()
{
    m_frame->executeCommand(cmd::Mail);
    QCOMPARE(m_launcher->opened, QStringList{"mailto:quendle@example.org?subject=Trawlex"});
}

QTEST_MAIN(FrameCommandsTest)
#include "FrameCommandsTest.moc"
