// Search criteria saved by name: the list (ten, newest first, replaced by name), its
// profile section read back exactly and read past where it is broken, and the form's
// context menu that saves, re-runs and deletes them in the window.
#include "RecordingLauncher.h"

#include "app/CMainFrame.h"
#include "app/CQVApp.h"
#include "app/CSearchForView.h"
#include "app/StandardProfile.h"
#include "app/results/ResultListModel.h"
#include "network/SearchServices.h"
#include "resources/CommandIds.h"
#include "search/SearchCriteria.h"
#include "tests/support/FakeFileTypes.h"
#include "tests/support/MemoryFileSystem.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <memory>
#include <mutex>

using namespace qv;

namespace {

using Entry = SavedCriteriaList::Entry;

// Every field away from the form's start-up values, texts that INI files and menus
// treat specially included.
SearchFormValues unusualValues()
{
    SearchFormValues v;
    v.subFolders = CheckState::Unchecked;
    v.containing = CheckState::Checked;
    v.containingText = "見積;\"q\", x";
    v.nameText = "*.TXT;a&b";
    v.typeIndex = 1;
    v.optionsShown = CheckState::Checked;
    v.sizeCondition = CheckState::Checked;
    v.minSizeText = "1";
    v.maxSizeText = "20";
    v.timeCondition = CheckState::Checked;
    v.timeTypeIndex = 2;
    v.startTime = {true, 2001, 2, 3, 4, 5, 6};
    v.endTime = {true, 2030, 12, 31, 23, 59, 58};
    return v;
}

SearchPlace localPlace(const std::string& path)
{
    SearchPlace place;
    place.level = LevelFolder;
    place.placePath = place.walkRoot = path;
    place.local = true;
    return place;
}

SearchPlace networkPlace()
{
    SearchPlace place;
    place.level = LevelShare;
    place.placePath = "\\\\HOST\\50% off";
    place.walkRoot = "\\\\HOST\\50% off";
    return place;
}

Entry entry(const QString& name, const std::string& nameText = "*")
{
    Entry e;
    e.name = name;
    e.values.nameText = nameText;
    e.place = localPlace("/srv");
    return e;
}

QStringList names(const SavedCriteriaList& list)
{
    QStringList out;
    for (const Entry& e : list.entries())
        out << e.name;
    return out;
}

QString describe(const SearchFormValues& v)
{
    const auto t = [](const PickerValue& p) {
        return p.valid ? QString::asprintf("%d/%d/%d,%d:%d:%d", p.year, p.month, p.day, p.hour, p.minute, p.second)
                       : QStringLiteral("-");
    };
    return QStringLiteral("sub=%1 cont=%2 '%3' name='%4' type=%5 opt=%6 size=%7 %8..%9 time=%10 tt=%11 %12..%13")
        .arg(int(v.subFolders))
        .arg(int(v.containing))
        .arg(QString::fromStdString(v.containingText), QString::fromStdString(v.nameText))
        .arg(v.typeIndex)
        .arg(int(v.optionsShown))
        .arg(int(v.sizeCondition))
        .arg(QString::fromStdString(v.minSizeText), QString::fromStdString(v.maxSizeText))
        .arg(int(v.timeCondition))
        .arg(v.timeTypeIndex)
        .arg(t(v.startTime), t(v.endTime));
}

QString describe(const SearchPlace& p)
{
    return QStringLiteral("%1|%2|%3|%4")
        .arg(p.level)
        .arg(QString::fromStdString(p.placePath), QString::fromStdString(p.walkRoot))
        .arg(p.local);
}

// The texts of a menu's items, "-" for separators, "(off)" after disabled ones.
QStringList menuTexts(const QMenu* menu)
{
    QStringList out;
    for (const QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isEnabled() ? QString() : QStringLiteral(" (off)")));
    return out;
}

QAction* itemFor(const QMenu* menu, int command)
{
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && !a->menu() && a->data().toInt() == command)
            return a;
    return nullptr;
}

void writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

} // namespace

class SavedCriteriaTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listKeepsTenNewestFirstAndReplacesByName();
    void profileSectionReadsBackExactly();
    void brokenProfileEntriesArePassedOver();
    void menuOffersSaveTheListNewestFirstAndDelete();
    void theFormsContextMenuIsTheCriteriaMenu();
    void saveKeepsTheFormAndItsPlaceUnderTheTypedName();
    void saveAsksWithAJapaneseDialog();
    void runningAnEntryFillsTheFormExactlyAndSearches();
    void entriesWaitWhileASearchRuns();
    void applicationReadsThemAtStartAndWritesEachChangeAtOnce();

private:
    QString profilePath() const { return m_config.filePath("Local AppWizard-Generated Applications/Quendle.ini"); }
    void makeFrame();
    // Points the form at "/mem" of `files`, searched with in-memory services.
    void useFiles(std::shared_ptr<FileSystem> files);

    QTemporaryDir m_config;
    QTemporaryDir m_scratch;
    std::shared_ptr<RecordingLauncher> m_launcher;
    std::unique_ptr<CMainFrame> m_frame;
    QStringList m_namerAnswers; // what the name prompt answers, in turn
    QStringList m_suggestions;  // what it was offered
};

void SavedCriteriaTest::initTestCase()
{
    // Before any QSettings exists: Qt reads the config folder once.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

void SavedCriteriaTest::init()
{
    QFile::remove(profilePath());
    m_launcher = std::make_shared<RecordingLauncher>();
    m_namerAnswers.clear();
    m_suggestions.clear();
}

void SavedCriteriaTest::cleanup()
{
    m_frame.reset();
}

void SavedCriteriaTest::makeFrame()
{
    m_frame = std::make_unique<CMainFrame>(m_launcher);
    m_frame->setLockKeySource([] { return LockKeys{}; });
    m_frame->setCriteriaNamer([this](QWidget*, const QString& suggestion) {
        m_suggestions << suggestion;
        return m_namerAnswers.isEmpty() ? QString() : m_namerAnswers.takeFirst();
    });
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
}

void SavedCriteriaTest::useFiles(std::shared_ptr<FileSystem> files)
{
    auto services = std::make_shared<SearchServices>();
    services->localFiles = std::move(files);
    services->fileTypes = std::make_shared<test::FakeFileTypes>();
    m_frame->searchForm()->setSearchServices(services);
}

void SavedCriteriaTest::listKeepsTenNewestFirstAndReplacesByName()
{
    SavedCriteriaList list;
    QVERIFY(list.isEmpty());
    const QStringList letters{"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"};
    for (const QString& name : letters)
        QVERIFY(list.add(entry(name)));
    QCOMPARE(names(list), (QStringList{"J", "I", "H", "G", "F", "E", "D", "C", "B", "A"}));

    // The eleventh drops the oldest.
    QVERIFY(list.add(entry("K")));
    QCOMPARE(list.count(), SavedCriteriaList::kMostEntries);
    QCOMPARE(names(list), (QStringList{"K", "J", "I", "H", "G", "F", "E", "D", "C", "B"}));

    // A name saved again replaces its entry and goes on top; nothing else drops.
    QVERIFY(list.add(entry("  E ", "*.doc")));
    QCOMPARE(names(list), (QStringList{"E", "K", "J", "I", "H", "G", "F", "D", "C", "B"}));
    QCOMPARE(list.entries().front().values.nameText, std::string("*.doc"));
    const auto isE = [](const Entry& e) { return e.name == "E"; };
    QCOMPARE(std::count_if(list.entries().begin(), list.entries().end(), isE), 1);
    // Names differ by case: two entries.
    QVERIFY(list.add(entry("e")));
    QCOMPARE(names(list).mid(0, 2), (QStringList{"e", "E"}));
    QCOMPARE(names(list).last(), QString("C"));

    // Blank names are refused and change nothing.
    const QStringList before = names(list);
    QVERIFY(!list.add(entry("")));
    QVERIFY(!list.add(entry(" \t ")));
    QCOMPARE(names(list), before);

    list.removeAt(1);
    QCOMPARE(names(list).mid(0, 2), (QStringList{"e", "K"}));
    list.removeAt(-1);
    list.removeAt(list.count());
    QCOMPARE(list.count(), 9);
}

void SavedCriteriaTest::profileSectionReadsBackExactly()
{
    const QString file = m_scratch.filePath("exact.ini");
    QFile::remove(file);
    SavedCriteriaList saved;
    Entry local{"見積 & 請求, \"2024\"", unusualValues(), localPlace("/srv/a b/50%;x=y")};
    Entry network{"=cmd|' /C calc'!A0", SearchFormValues{}, networkPlace()};
    // A picker without a value, and no time type chosen.
    network.values.startTime = {};
    network.values.timeTypeIndex = -1;
    network.values.nameText = "[General]\\n";
    Entry entire{"全体", SearchFormValues{}, SearchPlace::fromText("ネットワーク全体")};
    entire.place.walkRoot = "\\\\KEPT\\from\\before"; // the tree leaves the last walk root
    QVERIFY(saved.add(entire));
    QVERIFY(saved.add(network));
    QVERIFY(saved.add(local));
    {
        QSettings settings(file, QSettings::IniFormat);
        StandardProfile profile;
        profile.setSavedCriteria(saved);
        profile.save(settings);
    }
    QSettings settings(file, QSettings::IniFormat);
    QCOMPARE(settings.childGroups(), QStringList{"Saved Criteria"});
    StandardProfile profile;
    profile.load(settings);
    const auto& read = profile.savedCriteria().entries();
    QCOMPARE(int(read.size()), 3);
    for (size_t i = 0; i < read.size(); ++i) {
        const Entry& want = saved.entries()[i];
        QCOMPARE(read[i].name, want.name);
        QCOMPARE(describe(read[i].values), describe(want.values));
        QCOMPARE(describe(read[i].place), describe(want.place));
        QVERIFY(read[i] == want);
    }

    // An empty list leaves no section behind.
    profile.setSavedCriteria({});
    profile.save(settings);
    settings.sync();
    QSettings again(file, QSettings::IniFormat);
    QVERIFY(!again.childGroups().contains("Saved Criteria"));
}

void SavedCriteriaTest::brokenProfileEntriesArePassedOver()
{
    // Entry 1 is whole; every other one lacks a value or holds one the form cannot take.
    const QByteArray whole = "Name=%1\nNameText=*.txt\nType=0\nContaining=false\nContainingText=\n"
                             "SubFolders=true\nOptions=false\nSizeCondition=false\nMinSize=\nMaxSize=\n"
                             "TimeCondition=false\nTimeType=0\nFrom=\nTo=\nPlaceLevel=4\nPlacePath=/srv\n"
                             "WalkRoot=/srv\nLocal=true\n";
    const auto entryText = [&](int n, const QString& name, const QByteArray& from, const QByteArray& to) {
        QByteArray text = QString::fromUtf8(whole).arg(name).toUtf8();
        if (!from.isEmpty())
            text.replace(from, to);
        QByteArray prefixed;
        for (const QByteArray& line : text.split('\n'))
            if (!line.isEmpty())
                prefixed += QByteArray::number(n) + "\\" + line + "\n";
        return prefixed;
    };
    QByteArray ini = "[Recent%20File%20List]\nFile1=/srv/a.qv\n\n[Saved%20Criteria]\nsize=3\ngarbage line\n";
    ini += entryText(1, "good", {}, {});
    ini += entryText(2, "no type", "\nType=0\n", "\n");
    ini += entryText(3, "type out of range", "\nType=0", "\nType=9");
    ini += entryText(4, "type not a number", "\nType=0", "\nType=x");
    ini += entryText(5, "letters in a size", "MinSize=\n", "MinSize=12a\n");
    ini += entryText(6, "no such month", "From=\n", "From=2024-13-01T00:00:00\n");
    ini += entryText(7, "list not text", "NameText=*.txt", "NameText=a, b");
    ini += entryText(8, "  ", {}, {});
    ini += entryText(9, "good", "NameText=*.txt", "NameText=*.dup"); // a name seen before
    ini += entryText(10, "flag neither true nor false", "Local=true", "Local=maybe");
    ini += entryText(11, "eleventh", {}, {}); // whole, but past the ten
    ini += "abc\\Name=not an entry\n";
    const QString file = m_scratch.filePath("broken.ini");
    writeText(file, ini);

    QSettings settings(file, QSettings::IniFormat);
    StandardProfile profile;
    profile.load(settings);
    QCOMPARE(profile.recentFiles(), QStringList{"/srv/a.qv"});
    QCOMPARE(names(profile.savedCriteria()), QStringList{"good"});
    QCOMPARE(profile.savedCriteria().entries().front().values.nameText, std::string("*.txt"));
    QCOMPARE(profile.savedCriteria().entries().front().place, localPlace("/srv"));

    // Gaps are passed over too; a negative level and a bad date in the second picker.
    QByteArray gaps = "[Saved%20Criteria]\n";
    gaps += entryText(2, "second", {}, {});
    gaps += entryText(4, "fourth", {}, {});
    gaps += entryText(5, "negative", "PlaceLevel=4", "PlaceLevel=-1");
    gaps += entryText(6, "late", "To=\n", "To=2024-01-01T25:00:00\n");
    gaps += entryText(7, "timed", "From=\n", "From=2024-02-29T12:30:45\n");
    writeText(file, gaps);
    QSettings reread(file, QSettings::IniFormat);
    profile.load(reread);
    QCOMPARE(names(profile.savedCriteria()), (QStringList{"second", "fourth", "timed"}));
    const PickerValue from = profile.savedCriteria().entries().back().values.startTime;
    QVERIFY(from == (PickerValue{true, 2024, 2, 29, 12, 30, 45}));

    // A section that is no section at all.
    writeText(file, "[Saved%20Criteria\n\x01\xff\xfe=\n1=2\n");
    QSettings garbled(file, QSettings::IniFormat);
    profile.load(garbled);
    QVERIFY(profile.savedCriteria().isEmpty());
}

void SavedCriteriaTest::menuOffersSaveTheListNewestFirstAndDelete()
{
    makeFrame();
    QMenu* menu = m_frame->criteriaMenu();
    QVERIFY(menu);
    QCOMPARE(menu->title(), QString("検索条件(&R)"));
    QCOMPARE(menuTexts(menu),
             (QStringList{"検索条件を保存(&S)...", "-", "(保存した検索条件はありません) (off)", "-", "検索条件を削除(&D) (off)"}));

    SavedCriteriaList list;
    for (int i = 1; i <= 10; ++i)
        list.add(entry(QStringLiteral("検索%1").arg(i)));
    list.add(entry("A&B"));
    m_frame->setSavedCriteria(list);
    QStringList expected{"検索条件を保存(&S)...", "-", "&1 A&&B"};
    for (int i = 10; i >= 2; --i)
        expected << QStringLiteral("&%1 検索%2").arg(12 - i).arg(i);
    expected.last().replace("&10", "1&0");
    QCOMPARE(menuTexts(menu), expected + QStringList({"-", "検索条件を削除(&D)"}));
    QAction* deleteSub = menu->actions().last();
    QVERIFY(deleteSub->menu());
    QCOMPARE(menuTexts(deleteSub->menu()), expected.mid(2));
    // Every item carries its command, as the frame's other items do.
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(menu->actions().at(2 + i)->data().toInt(), cmd::RunCriteriaFirst + i);
        QCOMPARE(deleteSub->menu()->actions().at(i)->data().toInt(), cmd::DeleteCriteriaFirst + i);
    }

    // Deleting the third entry (検索9) through its item.
    QSignalSpy changed(m_frame.get(), &CMainFrame::savedCriteriaChanged);
    itemFor(deleteSub->menu(), cmd::DeleteCriteriaFirst + 2)->trigger();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(names(m_frame->savedCriteria()).mid(0, 4), (QStringList{"A&B", "検索10", "検索8", "検索7"}));
    QCOMPARE(m_frame->savedCriteria().count(), 9);
    QCOMPARE(menu->actions().at(4)->text(), QString("&3 検索8"));
    QVERIFY(!itemFor(menu, cmd::RunCriteriaFirst + 9));

    // A very long name is cut in the menu, not in the list.
    list = {};
    list.add(entry(QString(100, QChar(u'長'))));
    m_frame->setSavedCriteria(list);
    QCOMPARE(itemFor(menu, cmd::RunCriteriaFirst)->text(), "&1 " + QString(59, QChar(u'長')) + QChar(0x2026));
    QCOMPARE(m_frame->savedCriteria().entries().front().name.size(), 100);
}

void SavedCriteriaTest::theFormsContextMenuIsTheCriteriaMenu()
{
    makeFrame();
    auto* label = qobject_cast<QLabel*>(m_frame->searchForm()->control(FormControl::NameLabel));
    QVERIFY(label);
    // A right-click on a caption of the form reaches the form, which offers the menu.
    const QPoint at = label->rect().center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, label->mapToGlobal(at));
    QApplication::sendEvent(label, &click);
    QTRY_VERIFY(m_frame->criteriaMenu()->isVisible());
    m_frame->criteriaMenu()->hide();
    // The name box keeps its own edit menu.
    auto* nameBox = qobject_cast<QComboBox*>(m_frame->searchForm()->control(FormControl::NameBox));
    QContextMenuEvent inBox(QContextMenuEvent::Mouse, QPoint(5, 5), nameBox->lineEdit()->mapToGlobal(QPoint(5, 5)));
    QPointer<QWidget> editMenu;
    const auto closeEditMenu = [&] {
        if (QWidget* popup = QApplication::activePopupWidget(); popup && popup != m_frame->criteriaMenu()) {
            editMenu = popup;
            popup->close();
        }
    };
    QTimer::singleShot(0, closeEditMenu); // should the edit menu wait in a loop of its own
    QApplication::sendEvent(nameBox->lineEdit(), &inBox);
    closeEditMenu();
    QVERIFY(editMenu);
    QVERIFY(!m_frame->criteriaMenu()->isVisible());
    QCoreApplication::processEvents();
    // The frame's menus are those of menu 128 alone.
    QCOMPARE(m_frame->menuBar()->actions().size(), 4);
}

void SavedCriteriaTest::saveKeepsTheFormAndItsPlaceUnderTheTypedName()
{
    makeFrame();
    CSearchForView* form = m_frame->searchForm();
    form->setFormValues(unusualValues());
    form->setSearchPlace(networkPlace());
    QSignalSpy changed(m_frame.get(), &CMainFrame::savedCriteriaChanged);

    // Cancel (an empty answer) saves nothing.
    QAction* save = itemFor(m_frame->criteriaMenu(), cmd::SaveCriteria);
    save->trigger();
    QVERIFY(m_frame->savedCriteria().isEmpty());
    QCOMPARE(changed.size(), 0);
    QCOMPARE(m_suggestions, QStringList{"*.TXT;a&b"}); // the name box's text, to start from

    m_namerAnswers = QStringList{"  月次  ", "別"};
    itemFor(m_frame->criteriaMenu(), cmd::SaveCriteria)->trigger();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(names(m_frame->savedCriteria()), QStringList{"月次"});
    const Entry& kept = m_frame->savedCriteria().entries().front();
    QCOMPARE(describe(kept.values), describe(unusualValues()));
    QCOMPARE(describe(kept.place), describe(networkPlace()));
    QCOMPARE(itemFor(m_frame->criteriaMenu(), cmd::RunCriteriaFirst)->text(), QString("&1 月次"));

    // The next save offers the name used last.
    form->setSearchPlace(localPlace("/tmp"));
    itemFor(m_frame->criteriaMenu(), cmd::SaveCriteria)->trigger();
    QCOMPARE(m_suggestions.last(), QString("月次"));
    QCOMPARE(names(m_frame->savedCriteria()), (QStringList{"別", "月次"}));
    QCOMPARE(m_frame->savedCriteria().entries().front().place, localPlace("/tmp"));
}

void SavedCriteriaTest::saveAsksWithAJapaneseDialog()
{
    m_frame = std::make_unique<CMainFrame>(m_launcher);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    QString title, label, cancel;
    bool answered = false;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || answered)
            return;
        answered = true;
        title = dialog->windowTitle();
        label = dialog->labelText();
        if (auto* buttons = dialog->findChild<QDialogButtonBox*>())
            cancel = buttons->button(QDialogButtonBox::Cancel)->text();
        dialog->setTextValue("週報");
        dialog->accept();
    });
    poll.start();
    m_frame->executeCommand(cmd::SaveCriteria);
    QVERIFY(answered);
    QCOMPARE(title, QString("検索条件を保存"));
    QCOMPARE(label, QString("名前:"));
    QCOMPARE(cancel, QString("キャンセル"));
    QCOMPARE(names(m_frame->savedCriteria()), QStringList{"週報"});
}

void SavedCriteriaTest::runningAnEntryFillsTheFormExactlyAndSearches()
{
    makeFrame();
    auto files = std::make_shared<test::MemoryFileSystem>('/');
    const std::string wanted = "見積" + std::string(2000, 'x');
    files->addFile("/mem", test::memoryFile("a.txt", std::int64_t(wanted.size())), wanted);
    files->addFile("/mem", test::memoryFile("b.txt", 2048), std::string(2048, 'y'));  // no 見積
    files->addFile("/mem", test::memoryFile("c.doc", std::int64_t(wanted.size())), wanted); // another name
    files->addFile("/mem/sub", test::memoryFile("d.txt", std::int64_t(wanted.size())), wanted); // below
    files->addFile("/mem", test::memoryFile("e.txt", 1000 * 1024), "見積"); // too large
    useFiles(files);

    CSearchForView* form = m_frame->searchForm();
    SavedCriteriaList list;
    list.add({"見積", unusualValues(), localPlace("/mem")});
    list.add(entry("other"));
    m_frame->setSavedCriteria(list);
    // The form holds something else: start-up values and another place.
    QCOMPARE(form->formValues().nameText, std::string());
    form->setSearchPlace(localPlace("/elsewhere"));

    QSignalSpy started(form, &CSearchForView::searchStarted);
    QSignalSpy ended(form, &CSearchForView::searchEnded);
    itemFor(m_frame->criteriaMenu(), cmd::RunCriteriaFirst + 1)->trigger();
    QCOMPARE(started.size(), 1);
    QCOMPARE(describe(form->formValues()), describe(unusualValues()));
    QCOMPARE(describe(form->searchPlace()), describe(localPlace("/mem")));
    QCOMPARE(qobject_cast<QLineEdit*>(form->control(FormControl::PlaceBox))->text(), QString("/mem"));
    QVERIFY(form->control(FormControl::SizeCheck)->isVisibleTo(form)); // the option area shows
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);

    // The search ran with the saved criteria: only a.txt meets them all.
    ResultListModel* model = m_frame->resultModel();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->data(model->index(0, 0)).toString(), QString("a.txt"));
    QCOMPARE(form->criteria().subFolders, false);

    // Running the other entry puts back every control it holds.
    itemFor(m_frame->criteriaMenu(), cmd::RunCriteriaFirst)->trigger();
    QCOMPARE(started.size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 2, 10000);
    SearchFormValues other = entry("other").values;
    // The pickers keep the time they showed: the entry's own have none.
    other.startTime = form->formValues().startTime;
    other.endTime = form->formValues().endTime;
    QCOMPARE(describe(form->formValues()), describe(other));
    QVERIFY(!form->control(FormControl::SizeCheck)->isVisibleTo(form));
}

void SavedCriteriaTest::entriesWaitWhileASearchRuns()
{
    makeFrame();
    // The worker waits in its listing until the gate opens; the gate lives as long as
    // the file system the frame's services hold.
    struct Gate {
        std::mutex mutex;
        std::condition_variable cv;
        bool held = true;
        void open()
        {
            {
                std::lock_guard lock(mutex);
                held = false;
            }
            cv.notify_all();
        }
    };
    auto gate = std::make_shared<Gate>();
    const std::shared_ptr<void> opener(nullptr, [gate](void*) { gate->open(); });
    auto files = std::make_shared<test::MemoryFileSystem>('/');
    files->addFile("/mem", test::memoryFile("a.txt", 1), "x");
    files->onList = [gate](const std::string&) {
        std::unique_lock lock(gate->mutex);
        gate->cv.wait(lock, [&] { return !gate->held; });
    };
    useFiles(files);
    SavedCriteriaList list;
    list.add(entry("later", "*.doc"));
    m_frame->setSavedCriteria(list);
    CSearchForView* form = m_frame->searchForm();
    form->setSearchPlace(localPlace("/mem"));
    form->startSearch();
    QVERIFY(form->isSearching());

    QMenu* menu = m_frame->criteriaMenu();
    menu->popup(m_frame->mapToGlobal(QPoint(10, 10))); // brings it up to date
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(!itemFor(menu, cmd::RunCriteriaFirst)->isEnabled());
    QVERIFY(itemFor(menu, cmd::SaveCriteria)->isEnabled());
    menu->hide();
    // Even run by its command, the entry leaves the running search and the form alone.
    m_frame->executeCommand(cmd::RunCriteriaFirst);
    QCOMPARE(form->formValues().nameText, std::string());
    QCOMPARE(describe(form->searchPlace()), describe(localPlace("/mem")));

    gate->open();
    QTRY_VERIFY_WITH_TIMEOUT(!form->isSearching(), 10000);
    // Once the search has ended, the entry runs.
    menu->popup(m_frame->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(itemFor(menu, cmd::RunCriteriaFirst)->isEnabled());
    itemFor(menu, cmd::RunCriteriaFirst)->trigger();
    menu->hide();
    QCOMPARE(form->formValues().nameText, std::string("*.doc"));
    QTRY_VERIFY_WITH_TIMEOUT(!form->isSearching(), 10000);
}

void SavedCriteriaTest::applicationReadsThemAtStartAndWritesEachChangeAtOnce()
{
    {
        QSettings seed(profilePath(), QSettings::IniFormat);
        StandardProfile profile;
        SavedCriteriaList list;
        list.add({"古い", unusualValues(), networkPlace()});
        list.add(entry("新しい"));
        profile.setSavedCriteria(list);
        profile.save(seed);
    }
    CQVApp app(m_launcher);
    QVERIFY(app.initInstance());
    CMainFrame* frame = app.mainFrame();
    QCOMPARE(names(frame->savedCriteria()), (QStringList{"新しい", "古い"}));
    QCOMPARE(frame->savedCriteria().entries().back().values, unusualValues());
    QCOMPARE(itemFor(frame->criteriaMenu(), cmd::RunCriteriaFirst + 1)->text(), QString("&2 古い"));

    frame->setCriteriaNamer([](QWidget*, const QString&) { return QStringLiteral("三つ目"); });
    itemFor(frame->criteriaMenu(), cmd::SaveCriteria)->trigger();
    {
        // In the profile before the program ends.
        QSettings now(profilePath(), QSettings::IniFormat);
        StandardProfile profile;
        profile.load(now);
        QCOMPARE(names(profile.savedCriteria()), (QStringList{"三つ目", "新しい", "古い"}));
    }
    itemFor(qobject_cast<QMenu*>(frame->criteriaMenu()->actions().last()->menu()), cmd::DeleteCriteriaFirst + 2)->trigger();
    app.exitInstance();
    QSettings written(profilePath(), QSettings::IniFormat);
    StandardProfile profile;
    profile.load(written);
    QCOMPARE(names(profile.savedCriteria()), (QStringList{"三つ目", "新しい"}));
}

QTEST_MAIN(SavedCriteriaTest)
#include "SavedCriteriaTest.moc"
