// The search form on real widgets, offscreen: its state after set-up, the option
// area, the histories, and Search, Stop and Pause through every state of a search.
#include "app/CSearchForView.h"
#include "app/FormIcons.h"
#include "app/SearchAnimation.h"
#include "network/SearchServices.h"
#include "app/results/ResultListModel.h"
#include "search/SearchCriteria.h"
#include "search/SearchState.h"
#include "tests/gui/form/SlowFileSystem.h"
#include "tests/support/FakeFileTypes.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/ScriptedNetwork.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace qv;
using namespace qv::test;


namespace {

constexpr FormControl kOptionArea[] = {
    FormControl::OptionGroup,
    FormControl::TimeCheck,
    FormControl::SizeCheck,
    FormControl::TimeTypeLabel,
    FormControl::TimeTypeList,
    FormControl::StartLabel,
    FormControl::EndLabel,
    FormControl::StartPicker,
    FormControl::EndPicker,
    FormControl::MinSize,
    FormControl::MaxSize,
    FormControl::MinSizeLabel,
    FormControl::MaxSizeLabel,
    FormControl::KbLabel,
};

// One form with its model, searching a local folder place "/mem" of the given file system.
struct Rig {
    std::shared_ptr<FileSystem> files;
    ResultListModel model;
    CSearchForView form;
    QSignalSpy status{&form, &CSearchForView::statusText};
    QSignalSpy ended{&form, &CSearchForView::searchEnded};
    QSignalSpy closeReady{&form, &CSearchForView::closeReady};

    explicit Rig(std::shared_ptr<FileSystem> fileSystem) : files(std::move(fileSystem))
    {
        auto services = std::make_shared<SearchServices>();
        services->localFiles = files;
        services->fileTypes = std::make_shared<FakeFileTypes>();
        form.setSearchServices(services);
        form.setResultModel(&model);
        SearchPlace place;
        place.level = LevelFolder;
        place.placePath = place.walkRoot = "/mem";
        place.local = true;
        form.setSearchPlace(place);
        form.resize(300, 220);
        form.show();
    }

    template <class T> T* get(FormControl id) { return qobject_cast<T*>(form.control(id)); }
    QPushButton* button(FormControl id) { return get<QPushButton>(id); }
    SearchAnimation* animation() { return qobject_cast<SearchAnimation*>(form.control(FormControl::Animation)); }
    int pauseIcon() { return button(FormControl::PauseButton)->property("iconId").toInt(); }
    QString pauseCaption() { return button(FormControl::PauseButton)->accessibleName(); }
    QString lastStatus() { return status.isEmpty() ? QString() : status.last().at(0).toString(); }
    QStringList statuses()
    {
        QStringList out;
        for (const auto& args : status)
            out << args.at(0).toString();
        return out;
    }
    void setName(const QString& text) { get<QComboBox>(FormControl::NameBox)->setEditText(text); }
    void clickSearch() { QTest::mouseClick(button(FormControl::SearchButton), Qt::LeftButton); }
    void clickStop() { QTest::mouseClick(button(FormControl::StopButton), Qt::LeftButton); }
    void clickPause() { QTest::mouseClick(button(FormControl::PauseButton), Qt::LeftButton); }
    bool waitEnded(int count = 1) { return QTest::qWaitFor([&] { return ended.count() >= count; }, 10000); }
};

// A file system whose every listing fails with an exception, as memory running out would.
class ThrowingFiles final : public FileSystem {
public:
    std::unique_ptr<FolderListing> list(const std::string&, int&) override { throw std::bad_alloc(); }
    std::unique_ptr<FileReader> openForReading(const std::string&) override { return nullptr; }
    char separator() const override { return '/'; }
};

std::shared_ptr<MemoryFileSystem> flatTree(int files)
{
    auto fs = std::make_shared<MemoryFileSystem>('/');
    for (int i = 0; i < files; ++i) {
        FileEntry e;
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.txt", i);
        e.name = name;
        fs->addFile("/mem", e, "x");
    }
    return fs;
}

} // namespace

class SearchFormTest final : public QObject {
    Q_OBJECT
private slots:
    void startUpState();
    void tabOrderFollowsTheTemplate();
    void sizeBoxesTakeDigitsOnly();
    void enterInTheNameBoxStartsASearch();
    void optionToggleShowsHidesAndKeepsValues();
    void readsTheControlsIntoTheCriteria();
    void historyTakesATextOnceLowerCasedAtTheTop();
    void runControlWalksTheStateTable();
    void stopWhilePausedEndsTheSearch();
    void stopJustAfterSearchWalksNothing();
    void closeDuringASearchWaitsForTheWorker();
    void closeWhilePausedLetsTheWorkerEnd();
    void closeWhenIdleClosesAtOnce();
    void pauseAfterTheWorkerEndedDoesNothing();
    void countTextEndsTheSearch();
    void rowsArriveInOrderNewestOnTop();
    void rowsQueuedBeforeTheEndAllShowBeforeTheCount();
    void secondSearchClearsTheRows();
    void networkPlaceUsesTheEnumerator();
    void placeThatCannotBeSearchedIsShownInTheStatusBar();
    void errorInsideTheSearchIsShownInTheStatusBar();
    void placesInsideTheWalkThatCannotBeSearchedAreCountedAtTheEnd();
};

void SearchFormTest::startUpState()
{
    Rig rig(flatTree(1));
    QVERIFY(rig.button(FormControl::SearchButton)->isEnabled());
    QVERIFY(!rig.button(FormControl::StopButton)->isEnabled());
    QVERIFY(!rig.button(FormControl::PauseButton)->isEnabled());
    QCOMPARE(rig.pauseIcon(), int(FormIcon::Pause));
    QCOMPARE(rig.button(FormControl::SearchButton)->property("iconId").toInt(), int(FormIcon::Search));
    QCOMPARE(rig.button(FormControl::StopButton)->property("iconId").toInt(), int(FormIcon::Stop));
    QVERIFY(!rig.button(FormControl::SearchButton)->icon().isNull());
    QVERIFY(!rig.button(FormControl::PauseButton)->icon().isNull());

    auto* types = rig.get<QComboBox>(FormControl::TypeList);
    QVERIFY(!types->isEditable());
    const QStringList typeTexts = {"全部", "ファイル、フォルダ", "共有フォルダ", "コンピューター", "グループ", "プリンター"};
    QCOMPARE(types->count(), typeTexts.size());
    for (int i = 0; i < types->count(); ++i) {
        QCOMPARE(types->itemText(i), typeTexts[i]);
        QVERIFY2(!types->itemIcon(i).isNull(), "a type row without its image");
    }
    QCOMPARE(types->currentIndex(), 0);
    auto* timeTypes = rig.get<QComboBox>(FormControl::TimeTypeList);
    QCOMPARE(timeTypes->count(), 3);
    QCOMPARE(timeTypes->itemText(0), QString("更新時間"));
    QCOMPARE(timeTypes->itemText(1), QString("新規時間"));
    QCOMPARE(timeTypes->itemText(2), QString("アクセス時間"));
    QCOMPARE(timeTypes->currentIndex(), 0);

    QVERIFY(rig.get<QCheckBox>(FormControl::SubFolders)->isChecked());
    QCOMPARE(rig.get<QCheckBox>(FormControl::SubFolders)->text(), QString("サブパスも検索"));
    QVERIFY(rig.get<QCheckBox>(FormControl::DocumentsCheck)->isChecked());
    QCOMPARE(rig.get<QCheckBox>(FormControl::DocumentsCheck)->text(), QString("文書の中も検索"));
    // Below the option area, left-aligned with the check boxes above it.
    const QRect documents = rig.form.control(FormControl::DocumentsCheck)->geometry();
    QCOMPARE(documents.left(), rig.form.control(FormControl::SubFolders)->geometry().left());
    QVERIFY(documents.top() > rig.form.control(FormControl::OptionGroup)->geometry().bottom());
    QVERIFY(documents.bottom() < rig.form.findChild<QWidget*>("form101")->height());
    QVERIFY(!rig.get<QCheckBox>(FormControl::OptionsCheck)->isChecked());
    QVERIFY(!rig.get<QCheckBox>(FormControl::ContainingCheck)->isChecked());
    for (FormControl id : {FormControl::NameBox, FormControl::ContainingBox}) {
        auto* box = rig.get<QComboBox>(id);
        QVERIFY(box->isEditable());
        QVERIFY(box->currentText().isEmpty());
        QCOMPARE(box->count(), 0);
    }
    QVERIFY(rig.get<QLineEdit>(FormControl::PlaceBox)->isReadOnly());
    QCOMPARE(rig.get<QLineEdit>(FormControl::PlaceBox)->text(), QString("/mem"));
    for (FormControl id : kOptionArea)
        QVERIFY2(rig.form.control(id)->isHidden(), qPrintable(QString("option control %1 shows").arg(int(id))));
    for (FormControl id : {FormControl::StartPicker, FormControl::EndPicker}) {
        auto* picker = rig.get<QDateTimeEdit>(id);
        QCOMPARE(picker->displayFormat(), QString("yyyy/M/d,H:m:s"));
        QVERIFY(qAbs(picker->dateTime().secsTo(QDateTime::currentDateTime())) < 60);
    }
    QVERIFY(!rig.animation()->isPlaying());
    QCOMPARE(rig.animation()->currentFrame(), 0);
    QVERIFY(!rig.form.isSearching());
}

void SearchFormTest::tabOrderFollowsTheTemplate()
{
    Rig rig(flatTree(1));
    rig.get<QCheckBox>(FormControl::OptionsCheck)->setChecked(true); // hidden controls are skipped by tabbing
    const FormControl expected[] = {
        FormControl::TypeList,
        FormControl::PlaceBox,
        FormControl::SearchButton,
        FormControl::StopButton,
        FormControl::PauseButton,
        FormControl::SubFolders,
        FormControl::OptionsCheck,
        FormControl::StartPicker,
        FormControl::EndPicker,
        FormControl::TimeTypeList,
        FormControl::MinSize,
        FormControl::MaxSize,
        FormControl::TimeCheck,
        FormControl::SizeCheck,
        FormControl::ContainingCheck,
        FormControl::NameBox,
        FormControl::ContainingBox,
        FormControl::DocumentsCheck,
    };
    QWidget* w = rig.form.control(expected[0]);
    for (std::size_t i = 1; i < std::size(expected); ++i) {
        QWidget* next = w->nextInFocusChain();
        // Inner widgets (a combo box's line edit, a picker's editor) are part of their
        // control; labels and frames take no focus.
        while (next && (next->property("controlId").isNull() || next->focusPolicy() == Qt::NoFocus))
            next = next->nextInFocusChain();
        QVERIFY(next);
        QCOMPARE(next->property("controlId").toInt(), int(expected[i]));
        w = next;
    }
}

void SearchFormTest::sizeBoxesTakeDigitsOnly()
{
    Rig rig(flatTree(1));
    rig.get<QCheckBox>(FormControl::OptionsCheck)->setChecked(true);
    auto* min = rig.get<QLineEdit>(FormControl::MinSize);
    QTest::keyClicks(min, "1a2-3 ");
    QCOMPARE(min->text(), QString("123"));
}

void SearchFormTest::enterInTheNameBoxStartsASearch()
{
    Rig rig(flatTree(4));
    auto* name = rig.get<QComboBox>(FormControl::NameBox);
    name->setFocus();
    QTest::keyClicks(name->lineEdit(), "f00001");
    QTest::keyClick(name->lineEdit(), Qt::Key_Return);
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.model.rowCount(), 1);
    QCOMPARE(name->currentText(), QString("f00001"));
    // While a search runs, Enter starts nothing more.
    auto slow = std::make_shared<SlowFileSystem>(50, 1, 10);
    Rig busy(slow);
    busy.clickSearch();
    QTest::keyClick(busy.get<QComboBox>(FormControl::NameBox)->lineEdit(), Qt::Key_Return);
    busy.clickStop();
    QVERIFY(busy.waitEnded());
    QCOMPARE(busy.ended.count(), 1);
    QCOMPARE(busy.status.count(QList<QVariant>{QString("結果をクリア")}), 1);
}

void SearchFormTest::optionToggleShowsHidesAndKeepsValues()
{
    Rig rig(flatTree(1));
    const QSize extent = rig.form.findChild<QWidget*>("form101")->size();
    auto* options = rig.get<QCheckBox>(FormControl::OptionsCheck);
    QTest::mouseClick(options, Qt::LeftButton, {}, QPoint(4, options->height() / 2));
    QVERIFY(options->isChecked());
    for (FormControl id : kOptionArea)
        QVERIFY2(!rig.form.control(id)->isHidden(), qPrintable(QString("option control %1 hidden").arg(int(id))));
    QCOMPARE(rig.get<QGroupBox>(FormControl::OptionGroup)->title(), QString("検索オプション"));

    rig.get<QCheckBox>(FormControl::TimeCheck)->setChecked(true);
    rig.get<QComboBox>(FormControl::TimeTypeList)->setCurrentIndex(2);
    rig.get<QLineEdit>(FormControl::MaxSize)->setText("42");
    const QDateTime start(QDate(2020, 1, 2), QTime(3, 4, 5));
    rig.get<QDateTimeEdit>(FormControl::StartPicker)->setDateTime(start);

    QTest::mouseClick(options, Qt::LeftButton, {}, QPoint(4, options->height() / 2));
    QVERIFY(!options->isChecked());
    for (FormControl id : kOptionArea)
        QVERIFY(rig.form.control(id)->isHidden());
    QCOMPARE(rig.form.findChild<QWidget*>("form101")->size(), extent);

    options->setChecked(true);
    QVERIFY(rig.get<QCheckBox>(FormControl::TimeCheck)->isChecked());
    QCOMPARE(rig.get<QComboBox>(FormControl::TimeTypeList)->currentIndex(), 2);
    QCOMPARE(rig.get<QLineEdit>(FormControl::MaxSize)->text(), QString("42"));
    QCOMPARE(rig.get<QDateTimeEdit>(FormControl::StartPicker)->dateTime(), start);
    QCOMPARE(rig.get<QDateTimeEdit>(FormControl::StartPicker)->text(), QString("2020/1/2,3:4:5"));
}

void SearchFormTest::readsTheControlsIntoTheCriteria()
{
    Rig rig(flatTree(3));
    rig.setName("*.TXT; *.doc");
    rig.get<QCheckBox>(FormControl::ContainingCheck)->setChecked(true);
    rig.get<QComboBox>(FormControl::ContainingBox)->setEditText("Abc");
    rig.get<QComboBox>(FormControl::TypeList)->setCurrentIndex(1);
    rig.get<QCheckBox>(FormControl::SubFolders)->setChecked(false);
    rig.get<QCheckBox>(FormControl::DocumentsCheck)->setChecked(false);
    // Ticked inside a hidden option area: not read.
    rig.get<QCheckBox>(FormControl::SizeCheck)->setChecked(true);
    rig.get<QLineEdit>(FormControl::MinSize)->setText("10");
    rig.clickSearch();
    QVERIFY(rig.waitEnded());
    const SearchCriteria& c = rig.form.criteria();
    QCOMPARE(QString::fromStdString(c.nameText), QString("*.txt; *.doc"));
    QCOMPARE(c.namePatterns.size(), std::size_t(2));
    QCOMPARE(QString::fromStdString(c.namePatterns[1]), QString("*.DOC"));
    QVERIFY(c.containing);
    QCOMPARE(QString::fromStdString(c.containingText), QString("abc"));
    QCOMPARE(c.typeIndex, 1);
    QVERIFY(!c.subFolders);
    QVERIFY(!c.documents);
    QVERIFY(!c.optionsShown);
    QVERIFY(!c.sizeCondition);
    QCOMPARE(c.minimumKb, std::int64_t(0));
    QCOMPARE(QString::fromStdString(c.lookInPath), QString("/mem"));
}

void SearchFormTest::historyTakesATextOnceLowerCasedAtTheTop()
{
    Rig rig(flatTree(2));
    auto* names = rig.get<QComboBox>(FormControl::NameBox);
    rig.setName("Report");
    rig.clickSearch();
    QVERIFY(rig.waitEnded(1));
    QCOMPARE(names->count(), 1);
    QCOMPARE(names->itemText(0), QString("report"));
    QCOMPARE(names->currentText(), QString("Report")); // what was typed stays in the box

    rig.clickSearch();
    QVERIFY(rig.waitEnded(2));
    QCOMPARE(names->count(), 1);

    rig.setName("Other");
    rig.clickSearch();
    QVERIFY(rig.waitEnded(3));
    QCOMPARE(names->count(), 2);
    QCOMPARE(names->itemText(0), QString("other"));
    QCOMPARE(names->itemText(1), QString("report"));
    // The containing-string box was empty three times: one empty entry.
    QCOMPARE(rig.get<QComboBox>(FormControl::ContainingBox)->count(), 1);
    QCOMPARE(rig.get<QComboBox>(FormControl::ContainingBox)->itemText(0), QString());
}

void SearchFormTest::runControlWalksTheStateTable()
{
    auto slow = std::make_shared<SlowFileSystem>(200, 2, 15);
    Rig rig(slow);
    rig.setName("*.txt");

    // idle -> searching
    rig.clickSearch();
    QVERIFY(rig.form.isSearching());
    QVERIFY(!rig.button(FormControl::SearchButton)->isEnabled());
    QVERIFY(rig.button(FormControl::StopButton)->isEnabled());
    QVERIFY(rig.button(FormControl::PauseButton)->isEnabled());
    QCOMPARE(rig.pauseIcon(), int(FormIcon::Pause));
    QVERIFY(rig.animation()->isPlaying());
    QCOMPARE(rig.statuses().value(0), QString("結果をクリア"));
    QVERIFY(QTest::qWaitFor([&] { return slow->listed() >= 3; }, 5000));

    // searching -> paused: the worker is held
    rig.clickPause();
    QVERIFY(rig.form.isPaused());
    QCOMPARE(rig.pauseIcon(), int(FormIcon::Resume));
    QCOMPARE(rig.pauseCaption(), QString("続き"));
    QVERIFY(!rig.animation()->isPlaying());
    QVERIFY(!rig.button(FormControl::SearchButton)->isEnabled());
    QVERIFY(rig.button(FormControl::StopButton)->isEnabled());
    // A listing the worker had begun when Pause came still finishes; then it stays.
    int heldAt = -1;
    QVERIFY(QTest::qWaitFor([&] {
        const int before = slow->entered();
        QTest::qWait(100);
        heldAt = slow->entered();
        return heldAt == before && slow->listed() == heldAt;
    }, 5000));
    QTest::qWait(250);
    QCOMPARE(slow->entered(), heldAt);
    const int frame = rig.animation()->currentFrame();
    QTest::qWait(400);
    QCOMPARE(rig.animation()->currentFrame(), frame); // a still animation

    // paused -> searching
    rig.clickPause();
    QVERIFY(!rig.form.isPaused());
    QCOMPARE(rig.pauseIcon(), int(FormIcon::Pause));
    QCOMPARE(rig.pauseCaption(), QString("一時停止"));
    QVERIFY(rig.animation()->isPlaying());
    QVERIFY(QTest::qWaitFor([&] { return slow->entered() > heldAt + 2; }, 5000));

    // searching -> stopping
    rig.clickStop();
    QCOMPARE(rig.lastStatus(), QString(""));
    QCOMPARE(rig.pauseCaption(), QString("一時停止"));
    QVERIFY(!rig.animation()->isPlaying());
    QVERIFY(!rig.button(FormControl::SearchButton)->isEnabled()); // the worker's end restores the buttons, not Stop
    QVERIFY(rig.button(FormControl::StopButton)->isEnabled());

    // stopping -> idle
    QVERIFY(rig.waitEnded());
    QVERIFY(!rig.form.isSearching());
    QVERIFY(rig.button(FormControl::SearchButton)->isEnabled());
    QVERIFY(!rig.button(FormControl::StopButton)->isEnabled());
    QVERIFY(!rig.button(FormControl::PauseButton)->isEnabled());
    QCOMPARE(rig.pauseIcon(), int(FormIcon::Pause));
    QVERIFY(!rig.animation()->isPlaying());
    QVERIFY(slow->entered() < 201); // stopped before the end of the tree
    const QString count = QString::number(rig.model.rowCount()) + "個見つかりました";
    QCOMPARE(rig.lastStatus(), count);
    QCOMPARE(rig.closeReady.count(), 0);
}

void SearchFormTest::stopWhilePausedEndsTheSearch()
{
    auto slow = std::make_shared<SlowFileSystem>(200, 1, 10);
    Rig rig(slow);
    rig.clickSearch();
    QVERIFY(QTest::qWaitFor([&] { return slow->listed() >= 2; }, 5000));
    rig.clickPause();
    QCOMPARE(rig.pauseIcon(), int(FormIcon::Resume));
    rig.clickStop();
    QCOMPARE(rig.pauseCaption(), QString("一時停止"));
    QVERIFY2(rig.waitEnded(), "a paused worker did not see the stop");
    QCOMPARE(rig.pauseIcon(), int(FormIcon::Pause));
    QVERIFY(rig.button(FormControl::SearchButton)->isEnabled());
    QVERIFY(!rig.button(FormControl::PauseButton)->isEnabled());
    QVERIFY(slow->entered() < 201);
}

void SearchFormTest::stopJustAfterSearchWalksNothing()
{
    auto slow = std::make_shared<SlowFileSystem>(5, 2, 0);
    slow->closeGate(); // the walk's first listing waits here
    Rig rig(slow);
    rig.setName("*.txt");
    rig.clickSearch();
    rig.clickStop();
    slow->openGate();
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.model.rowCount(), 0);
    QVERIFY(slow->entered() <= 1);
    QCOMPARE(rig.lastStatus(), QString("0個見つかりました"));
    QVERIFY(rig.button(FormControl::SearchButton)->isEnabled());
    QVERIFY(!rig.button(FormControl::StopButton)->isEnabled());
}

void SearchFormTest::closeDuringASearchWaitsForTheWorker()
{
    auto slow = std::make_shared<SlowFileSystem>(5, 2, 0);
    slow->closeGate();
    Rig rig(slow);
    rig.clickSearch();
    QVERIFY(QTest::qWaitFor([&] { return slow->entered() >= 1; }, 5000));
    QVERIFY(!rig.form.requestClose());
    QTest::qWait(200);
    QCOMPARE(rig.closeReady.count(), 0); // the worker is still in its listing
    slow->openGate();
    QVERIFY(QTest::qWaitFor([&] { return rig.closeReady.count() >= 1; }, 5000));
    QTest::qWait(100);
    QCOMPARE(rig.closeReady.count(), 1);
    QCOMPARE(rig.ended.count(), 0);
    // The buttons are left as they were: the window goes away.
    QVERIFY(!rig.button(FormControl::SearchButton)->isEnabled());
    QVERIFY(rig.button(FormControl::StopButton)->isEnabled());
    QVERIFY(!rig.form.isSearching());
    QVERIFY(rig.form.requestClose());
}

void SearchFormTest::closeWhilePausedLetsTheWorkerEnd()
{
    auto slow = std::make_shared<SlowFileSystem>(200, 1, 10);
    Rig rig(slow);
    rig.clickSearch();
    QVERIFY(QTest::qWaitFor([&] { return slow->listed() >= 2; }, 5000));
    rig.clickPause();
    QVERIFY(!rig.form.requestClose());
    QVERIFY2(QTest::qWaitFor([&] { return rig.closeReady.count() == 1; }, 5000), "a paused worker kept the window open");
    QVERIFY(slow->entered() < 201);
}

void SearchFormTest::closeWhenIdleClosesAtOnce()
{
    Rig rig(flatTree(2));
    QVERIFY(rig.form.requestClose());
    rig.clickSearch();
    QVERIFY(rig.waitEnded());
    QVERIFY(rig.form.requestClose());
    QCOMPARE(rig.closeReady.count(), 0);
}

void SearchFormTest::pauseAfterTheWorkerEndedDoesNothing()
{
    auto files = std::make_shared<SlowFileSystem>(1, 3, 0);
    Rig rig(files);
    rig.setName("*.txt");
    rig.clickSearch();
    // The worker ends while the user-interface thread is busy: its end has not been
    // handled yet, so the buttons are still those of a running search.
    for (int waited = 0; files->listed() < 2 && waited < 5000; waited += 10)
        QThread::msleep(10);
    QThread::msleep(300);
    QVERIFY(rig.button(FormControl::PauseButton)->isEnabled());
    rig.form.pauseOrResume();
    QCOMPARE(rig.pauseIcon(), int(FormIcon::Pause));
    QCOMPARE(rig.pauseCaption(), QString("Pause"));
    QVERIFY(!rig.form.isPaused());
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.lastStatus(), QString("3個見つかりました"));
}

void SearchFormTest::countTextEndsTheSearch()
{
    Rig rig(flatTree(7));
    rig.setName("f0000?.txt");
    rig.clickSearch();
    QVERIFY(rig.waitEnded());
    const QStringList texts = rig.statuses();
    QCOMPARE(texts.first(), QString("結果をクリア"));
    QCOMPARE(texts.last(), QString("7個見つかりました"));
    QCOMPARE(rig.form.searchState().foundCount.load(), std::int64_t(7));
}

void SearchFormTest::rowsArriveInOrderNewestOnTop()
{
    constexpr int kFiles = 6000; // more than one drain's worth, and more than the queue holds
    Rig rig(flatTree(kFiles));
    rig.clickSearch();
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.model.rowCount(), kFiles);
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.txt", kFiles - 1 - i);
        const QModelIndex cell = rig.model.index(i, 0);
        QCOMPARE(cell.data().toString(), QString(name));
        QCOMPARE(cell.data(ResultListModel::KeyRole).toLongLong(), qint64(kFiles - 1 - i));
    }
    QVERIFY(!rig.model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    QCOMPARE(rig.model.headerData(0, Qt::Horizontal).toString(), QString("名前(ダブルクリック)"));
    QCOMPARE(rig.model.headerData(8, Qt::Horizontal).toString(), QString("マッチ文字列"));
    QCOMPARE(rig.lastStatus(), QString::number(kFiles) + "個見つかりました");
}

void SearchFormTest::rowsQueuedBeforeTheEndAllShowBeforeTheCount()
{
    constexpr int kFiles = 3000;
    Rig rig(flatTree(kFiles));
    // What the window shows at the moment the search is over.
    int rowsAtEnd = -1;
    QString textAtEnd;
    QObject::connect(&rig.form, &CSearchForView::searchEnded, [&] {
        rowsAtEnd = rig.model.rowCount();
        textAtEnd = rig.lastStatus();
    });
    rig.clickSearch();
    // The worker queues every row and its end while the window is busy.
    QThread::msleep(600);
    QCOMPARE(rig.model.rowCount(), 0);
    QVERIFY(rig.waitEnded());
    QCOMPARE(rowsAtEnd, kFiles);
    QCOMPARE(textAtEnd, QString::number(kFiles) + "個見つかりました");
    QCOMPARE(rig.ended.count(), 1);
}

void SearchFormTest::secondSearchClearsTheRows()
{
    Rig rig(flatTree(5));
    rig.clickSearch();
    QVERIFY(rig.waitEnded(1));
    QCOMPARE(rig.model.rowCount(), 5);
    rig.setName("f00001");
    rig.clickSearch();
    QVERIFY(rig.waitEnded(2));
    QCOMPARE(rig.model.rowCount(), 1);
    QCOMPARE(rig.model.index(0, 0).data(ResultListModel::KeyRole).toLongLong(), qint64(0));
    QCOMPARE(rig.lastStatus(), QString("1個見つかりました"));
}

void SearchFormTest::networkPlaceUsesTheEnumerator()
{
    auto net = std::make_shared<ScriptedNetwork>();
    net->addWorkgroup("Sales", {{"ALPHA", {"public"}}});
    net->addWorkgroup("Office", {{"GAMMA", {"data"}}});
    ResultListModel model;
    CSearchForView form;
    auto services = std::make_shared<SearchServices>();
    services->localFiles = std::make_shared<MemoryFileSystem>('/');
    services->networkFiles = std::make_shared<MemoryFileSystem>('\\');
    services->enumerator = net;
    services->fileTypes = std::make_shared<FakeFileTypes>();
    form.setSearchServices(services);
    form.setResultModel(&model);
    form.setSearchPlace(SearchPlace{}); // the entire network
    qobject_cast<QComboBox*>(form.control(FormControl::TypeList))->setCurrentIndex(4); // "グループ"
    QSignalSpy ended(&form, &CSearchForView::searchEnded);
    form.startSearch();
    QVERIFY(QTest::qWaitFor([&] { return ended.count() == 1; }, 5000));
    QStringList names;
    for (int i = 0; i < model.rowCount(); ++i)
        names << model.index(i, 0).data().toString();
    names.sort();
    QCOMPARE(names, QStringList({"OFFICE", "SALES"}));
    QCOMPARE(net->openEnumerations(), 0);
    QCOMPARE(net->liveBlocks(), 0);
}

// A folder place that does not exist ended with "0個見つかりました", as if searched.
void SearchFormTest::placeThatCannotBeSearchedIsShownInTheStatusBar()
{
    Rig rig(std::make_shared<MemoryFileSystem>('/'));
    rig.clickSearch();
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.lastStatus(), QString::fromUtf8("/mem を検索できませんでした: no such folder"));
    QCOMPARE(rig.model.rowCount(), 0);
}

// An error escaping the walk ended the search with its folder text still showing.
void SearchFormTest::errorInsideTheSearchIsShownInTheStatusBar()
{
    Rig rig(std::make_shared<ThrowingFiles>());
    rig.clickSearch();
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.lastStatus(), QString::fromUtf8("検索はエラーで終わりました: std::bad_alloc"));
}

// Folders inside the walk that cannot be listed leave no row; the last status text
// says how many there were, after the count, and the next search starts from none.
void SearchFormTest::placesInsideTheWalkThatCannotBeSearchedAreCountedAtTheEnd()
{
    auto files = std::make_shared<MemoryFileSystem>('/');
    files->addFile("/mem", memoryFile("a.txt"));
    files->addFile("/mem/locked", memoryFile("b.txt"));
    files->addFile("/mem/closed", memoryFile("c.txt"));
    files->addFile("/mem/open", memoryFile("d.txt"));
    files->unreadableFolders = {"/mem/locked", "/mem/closed"};
    Rig rig(files);
    rig.clickSearch();
    QVERIFY(rig.waitEnded());
    QCOMPARE(rig.lastStatus(), QString::fromUtf8("5個見つかりました (検索できなかった場所: 2)"));
    files->unreadableFolders.clear();
    rig.clickSearch();
    QVERIFY(QTest::qWaitFor([&] { return rig.ended.count() == 2; }, 5000));
    QCOMPARE(rig.lastStatus(), QString::fromUtf8("7個見つかりました"));
}

QTEST_MAIN(SearchFormTest)
#include "SearchFormTest.moc"
