// The location tree pane on real widgets, offscreen, over a scripted network and an
// in-memory file system: the initial build, levels and paths, expansion, folder
// listings, the busy state of listings that run on the pane's thread, accounts for
// refused shares, and the drag.
#include "app/CMainFrame.h"
#include "app/CSearchForView.h"
#include "app/StandardProfile.h"
#include "app/StartPlace.h"
#include "app/tree/CLeftView.h"
#include "network/LocationSource.h"
#include "network/NetworkDirectory.h"
#include "platform/CredentialStore.h"
#include "platform/PasswordKeyring.h"
#include "platform/SmbClient.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/ScriptedNetwork.h"

#include <QApplication>
#include <QDrag>
#include <QMouseEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QSettings>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <condition_variable>
#include <mutex>

using namespace qv;
using namespace qv::test;

namespace {

const QString kEntireNetwork = QStringLiteral("ネットワーク全体");

// The scripted source: listings of the held name wait until release() (or abort()),
// and servers in `required` refuse every account but theirs.
class TestSource final : public LocationSource {
public:
    using LocationSource::LocationSource;

    int listContainer(const std::string& name, std::vector<NetResource>& children) override
    {
        const int refused = admit(name);
        return refused ? refused : LocationSource::listContainer(name, children);
    }
    int listFolders(const std::string& path, std::vector<std::string>& folders) override
    {
        const int refused = admit(path);
        return refused ? refused : LocationSource::listFolders(path, folders);
    }
    void setServerCredentials(const std::string& server, const SmbCredentials& credentials) override
    {
        std::lock_guard lock(m_mutex);
        m_accounts[CredentialStore::keyOf(server)] = credentials;
    }
    void abort() override { change([&] { m_aborted = true; }); }

    void hold(const std::string& name) { change([&] { m_held = name; }); }
    void release() { change([&] { m_held.clear(); }); }
    void require(const std::string& server, const SmbCredentials& account)
    {
        change([&] { m_required[CredentialStore::keyOf(server)] = account; });
    }
    SmbCredentials accountFor(const std::string& server)
    {
        std::lock_guard lock(m_mutex);
        return m_accounts[CredentialStore::keyOf(server)];
    }
    bool aborted()
    {
        std::lock_guard lock(m_mutex);
        return m_aborted;
    }

private:
    template <class F> void change(F f)
    {
        std::lock_guard lock(m_mutex);
        f();
        m_wake.notify_all();
    }
    int admit(const std::string& name)
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [&] { return m_aborted || m_held != name; });
        if (m_aborted)
            return ECANCELED;
        const std::string server = CredentialStore::keyOf(LocationLister::serverOf(name));
        const auto required = m_required.find(server);
        return required != m_required.end() && m_accounts[server] != required->second ? EACCES : 0;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::string m_held;
    bool m_aborted = false;
    std::map<std::string, SmbCredentials> m_required;
    std::map<std::string, SmbCredentials> m_accounts;
};

class FakeKeyring final : public PasswordKeyring {
public:
    std::optional<SmbCredentials> lookup(const std::string& server) override
    {
        std::lock_guard lock(m_mutex);
        lookups.push_back(server);
        return kept;
    }
    bool save(const std::string& server, const SmbCredentials& credentials) override
    {
        std::lock_guard lock(m_mutex);
        saved.push_back(server + " " + credentials.user + " " + credentials.password);
        return true;
    }

    std::mutex m_mutex;
    std::optional<SmbCredentials> kept;
    std::vector<std::string> lookups;
    std::vector<std::string> saved;
};

QStringList childTexts(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

QList<int> childImages(const QTreeWidgetItem* item, int role = CLeftView::ImageRole)
{
    QList<int> images;
    for (int i = 0; i < item->childCount(); ++i)
        images << item->child(i)->data(0, role).toInt();
    return images;
}

QTreeWidgetItem* child(QTreeWidgetItem* item, const QString& text)
{
    for (int i = 0; i < item->childCount(); ++i)
        if (item->child(i)->text(0) == text)
            return item->child(i);
    return nullptr;
}

bool hasPlaceholder(const QTreeWidgetItem* item) { return childTexts(item).contains("…"); }

QImage picture(const QIcon& icon, QIcon::Mode mode = QIcon::Normal)
{
    return icon.pixmap(QSize(16, 16), mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class LocationTreeTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void initialBuildListsTheEntireNetworkThenWorkgroupsAsDelivered();
    void noNetworkLeavesTheTreeEmpty();
    void levelsPathsAndWalkRootOfEachKindOfItem();
    void expansionSortsByTextCollapsesAndListsAnew();
    void containerChildrenSharesAndPrinterShares();
    void folderListingShowsSubFoldersOnly();
    void failingListingsLeaveTheChildren();
    void busyItemShowsAPlaceholderAndIgnoresASecondDoubleClick();
    void itemDeletedBeforeItsListingReturns();
    void closingWhileAListingHangsReturnsAtOnce();
    void dragOffersTheSelectedPlace();
    void refusedShareAsksForAnAccountAndKeepsWhatWorked();
    void cancelledOrRefusedAccountLeavesTheItem();
    void keyringAccountIsTriedBeforeAsking();
    void credentialStoreHandsAccountsToEveryClient();
    void desktopKeyringWithoutAServiceKeepsNothing();
    void discoveredWorkgroupsAndComputersJoinAsTheyArrive();
    void typedComputersHaveAnItemOfTheirOwn();
    void typedComputersAreKeptInTheProfile();
    void selectPlaceFindsOnlyItemsTheTreeShows();
    void startPlaceIsTheTreeItemOnceItArrivesElseTheFormsPlace();

private:
    void startTree();
    void doubleClick(QTreeWidgetItem* item);
    void waitIdle();
    QTreeWidgetItem* top(const QString& text);
    QTreeWidgetItem* expandPath(const QStringList& texts);

    std::shared_ptr<ScriptedNetwork> m_net;
    std::shared_ptr<MemoryFileSystem> m_files;
    std::shared_ptr<TestSource> m_source;
    std::shared_ptr<CredentialStore> m_store;
    std::unique_ptr<CLeftView> m_tree;
};

void LocationTreeTest::init()
{
    m_net = std::make_shared<ScriptedNetwork>();
    // Two providers; the first delivers its workgroups not in sorted order.
    m_net->setChildren("", {{"SMB", true, false}, {"Other", true, false}, {"Printers", false, false}});
    m_net->setChildren("entry:SMB", {{"WG-B", true, false}, {"WG-A", true, false}});
    m_net->setChildren("entry:Other", {{"DOMAIN1", true, false}});
    m_net->setChildren("WG-B", {{"\\\\ZETA", true, false}, {"\\\\alpha", true, false}});
    m_net->setChildren("WG-A", {});
    m_net->setChildren("\\\\alpha", {{"\\\\alpha\\Docs", false, false},
                                     {"\\\\alpha\\x-printer", false, true},
                                     {"\\\\alpha\\data", false, false}});
    m_net->setChildren("\\\\ZETA", {{"\\\\ZETA\\public", false, false}});

    m_files = std::make_shared<MemoryFileSystem>();
    m_files->addFile("\\\\alpha\\Docs", memoryFile("readme.txt", 10));
    m_files->addFolder("\\\\alpha\\Docs", "b-folder");
    m_files->addFolder("\\\\alpha\\Docs", "A-folder");
    m_files->addFolder("\\\\alpha\\Docs", ".");
    m_files->addFolder("\\\\alpha\\Docs", "..");
    m_files->addFolder("\\\\alpha\\Docs", ".hidden");
    m_files->addFile("\\\\alpha\\Docs\\b-folder\\inner", memoryFile("deep.txt", 1));
    m_files->addFolder("\\\\alpha\\data", "2024");

    m_source = std::make_shared<TestSource>(m_net, m_files);
    m_store = std::make_shared<CredentialStore>();
    m_tree = std::make_unique<CLeftView>();
    m_tree->setLocationSource(m_source, m_store);
    m_tree->resize(300, 500);
}

void LocationTreeTest::cleanup()
{
    m_tree.reset();
}

void LocationTreeTest::startTree()
{
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    waitIdle();
}

void LocationTreeTest::waitIdle()
{
    QTRY_COMPARE(m_tree->listingsUnderWay(), 0);
}

void LocationTreeTest::doubleClick(QTreeWidgetItem* item)
{
    QVERIFY(item);
    m_tree->scrollToItem(item);
    const QPoint at = m_tree->visualItemRect(item).center();
    // The first click of a double-click selects; the double-click opens the selection.
    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(m_tree->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(m_tree->currentItem(), item);
}

QTreeWidgetItem* LocationTreeTest::top(const QString& text)
{
    return m_tree->findItems(text, Qt::MatchExactly).value(0);
}

// Double-clicks down a path of item texts, from a top item, waiting for each listing.
QTreeWidgetItem* LocationTreeTest::expandPath(const QStringList& texts)
{
    QTreeWidgetItem* item = top(texts.first());
    for (qsizetype i = 0; item; ++i) {
        doubleClick(item);
        waitIdle();
        if (i + 1 == texts.size())
            return item;
        item = child(item, texts[i + 1]);
    }
    return nullptr;
}

void LocationTreeTest::initialBuildListsTheEntireNetworkThenWorkgroupsAsDelivered()
{
    startTree();
    // One entire-network item for all providers; the providers themselves are not shown.
    QCOMPARE(childTexts(m_tree->invisibleRootItem()), (QStringList{kEntireNetwork, "WG-B", "WG-A", "DOMAIN1"}));
    QCOMPARE(childImages(m_tree->invisibleRootItem()), (QList<int>{2, 0, 0, 0}));
    QCOMPARE(m_tree->entireNetworkItem(), m_tree->topLevelItem(0));
    QVERIFY(!m_tree->rootIsDecorated());
    // Nothing below the workgroups is listed before the user asks.
    QCOMPARE(m_net->opened, (std::vector<std::string>{"", "entry:SMB", "entry:Other"}));
    QCOMPARE(picture(m_tree->topLevelItem(1)->icon(0)), picture(m_tree->image(CLeftView::WorkgroupImage)));

    // A later show keeps what the pane holds.
    m_tree->hide();
    m_tree->show();
    waitIdle();
    QCOMPARE(m_tree->topLevelItemCount(), 4);
    QCOMPARE(m_net->opened.size(), std::size_t(3));
}

void LocationTreeTest::noNetworkLeavesTheTreeEmpty()
{
    m_net->failingOpens.insert("");
    startTree();
    QCOMPARE(m_tree->topLevelItemCount(), 0);
    QVERIFY(m_tree->entireNetworkItem() == nullptr);
}

void LocationTreeTest::levelsPathsAndWalkRootOfEachKindOfItem()
{
    startTree();
    QSignalSpy places(m_tree.get(), &CLeftView::placeSelected);
    auto select = [&](QTreeWidgetItem* item) {
        m_tree->clearSelection();
        m_tree->setCurrentItem(item);
        SearchPlace none;
        none.level = -1;
        return places.isEmpty() ? none : places.takeLast().at(0).value<SearchPlace>();
    };

    QTreeWidgetItem* folder = expandPath({"WG-B", "\\\\alpha", "\\\\alpha\\Docs", "b-folder", "inner"});
    QVERIFY(folder);
    places.clear();

    SearchPlace place = select(folder);
    QCOMPARE(place.level, 5);
    QCOMPARE(place.placePath, std::string("\\\\alpha\\Docs\\b-folder\\inner"));
    QCOMPARE(place.walkRoot, place.placePath);
    QCOMPARE(m_tree->currentPath(), QString("\\\\alpha\\Docs\\b-folder\\inner"));

    place = select(folder->parent()->parent());
    QCOMPARE(place.level, int(LevelShare));
    QCOMPARE(place.placePath, std::string("\\\\alpha\\Docs"));
    QCOMPARE(place.walkRoot, std::string("\\\\alpha\\Docs"));

    // Above the shares the path is the item's text; the walk root stays the last share's.
    place = select(top("WG-B"));
    QCOMPARE(place.level, int(LevelWorkgroup));
    QCOMPARE(place.placePath, std::string("WG-B"));
    QCOMPARE(place.walkRoot, std::string("\\\\alpha\\Docs"));

    place = select(child(top("WG-B"), "\\\\alpha"));
    QCOMPARE(place.level, int(LevelComputer));
    QCOMPARE(place.placePath, std::string("\\\\alpha"));

    place = select(m_tree->entireNetworkItem());
    QCOMPARE(place.level, int(LevelEntireNetwork));
    QCOMPARE(place.placePath, kEntireNetwork.toStdString());

    // A folder shows image 5, and image 6 while it is selected.
    QCOMPARE(folder->data(0, CLeftView::ImageRole).toInt(), 5);
    QCOMPARE(folder->data(0, CLeftView::SelectedImageRole).toInt(), 6);
    QCOMPARE(picture(folder->icon(0)), picture(m_tree->image(5)));
    QCOMPARE(picture(folder->icon(0), QIcon::Selected), picture(m_tree->image(6)));
}

void LocationTreeTest::expansionSortsByTextCollapsesAndListsAnew()
{
    startTree();
    QSignalSpy status(m_tree.get(), &CLeftView::statusText);
    QTreeWidgetItem* workgroup = top("WG-B");
    doubleClick(workgroup);
    waitIdle();
    // Sorted by text without regard to case: "alpha" before "ZETA".
    QCOMPARE(childTexts(workgroup), (QStringList{"\\\\alpha", "\\\\ZETA"}));
    QCOMPARE(childImages(workgroup), (QList<int>{1, 1}));
    QVERIFY(workgroup->isExpanded());
    QCOMPARE(status.size(), 1);
    QCOMPARE(status.at(0).at(0).toString(), QString());

    // Expanded: a double-click collapses without listing again.
    const std::size_t opens = m_net->opened.size();
    doubleClick(workgroup);
    waitIdle();
    QVERIFY(!workgroup->isExpanded());
    QCOMPARE(m_net->opened.size(), opens);
    QCOMPARE(childTexts(workgroup).size(), 2);

    // Once more: listed anew, the children replaced.
    m_net->setChildren("WG-B", {{"\\\\NEW", true, false}});
    doubleClick(workgroup);
    waitIdle();
    QVERIFY(workgroup->isExpanded());
    QCOMPARE(childTexts(workgroup), QStringList{"\\\\NEW"});
    QCOMPARE(m_net->opened.size(), opens + 1);
    QCOMPARE(m_net->openEnumerations(), 0);
    QCOMPARE(m_net->liveBlocks(), 0);
}

void LocationTreeTest::containerChildrenSharesAndPrinterShares()
{
    startTree();
    QTreeWidgetItem* computer = expandPath({"WG-B", "\\\\alpha"});
    QCOMPARE(childTexts(computer), (QStringList{"\\\\alpha\\data", "\\\\alpha\\Docs", "\\\\alpha\\x-printer"}));
    QCOMPARE(childImages(computer), (QList<int>{3, 3, 7}));
    QCOMPARE(childImages(computer, CLeftView::SelectedImageRole), (QList<int>{3, 3, 7}));

    // A printer share lists nothing and does not expand.
    const int listings = m_files->listings.load();
    QTreeWidgetItem* printer = child(computer, "\\\\alpha\\x-printer");
    doubleClick(printer);
    waitIdle();
    QCOMPARE(m_files->listings.load(), listings);
    QVERIFY(!printer->isExpanded());
    QCOMPARE(printer->childCount(), 0);

    // Computers listed under a workgroup get image 1, printers among them image 7.
    m_net->setChildren("WG-A", {{"\\\\PRN", false, true}, {"\\\\PC", true, false}});
    doubleClick(top("WG-A"));
    waitIdle();
    QCOMPARE(childImages(top("WG-A")), (QList<int>{1, 7}));

    // The entire-network item opens a container named by its own text; where there
    // is none, nothing changes.
    doubleClick(m_tree->entireNetworkItem());
    waitIdle();
    QCOMPARE(m_net->opened.back(), kEntireNetwork.toStdString());
    QCOMPARE(m_tree->entireNetworkItem()->childCount(), 0);
    QVERIFY(!m_tree->entireNetworkItem()->isExpanded());
}

void LocationTreeTest::folderListingShowsSubFoldersOnly()
{
    startTree();
    QTreeWidgetItem* share = expandPath({"WG-B", "\\\\alpha", "\\\\alpha\\Docs"});
    QVERIFY(share->isExpanded());
    QCOMPARE(childTexts(share), (QStringList{".hidden", "A-folder", "b-folder"}));
    QCOMPARE(childImages(share), (QList<int>{5, 5, 5}));
    QCOMPARE(childImages(share, CLeftView::SelectedImageRole), (QList<int>{6, 6, 6}));

    // Collapses when expanded, lists again the next time.
    const int listings = m_files->listings.load();
    doubleClick(share);
    waitIdle();
    QVERIFY(!share->isExpanded());
    QCOMPARE(m_files->listings.load(), listings);
    doubleClick(share);
    waitIdle();
    QVERIFY(share->isExpanded());
    QCOMPARE(m_files->listings.load(), listings + 1);
}

void LocationTreeTest::failingListingsLeaveTheChildren()
{
    startTree();
    QTreeWidgetItem* workgroup = top("WG-B");
    doubleClick(workgroup);
    waitIdle();
    doubleClick(workgroup); // collapse
    m_net->failingOpens.insert("WG-B");
    doubleClick(workgroup);
    waitIdle();
    QCOMPARE(childTexts(workgroup), (QStringList{"\\\\alpha", "\\\\ZETA"}));
    QVERIFY(!workgroup->isExpanded());
    QVERIFY(!hasPlaceholder(workgroup));
    for (int i = 0; i < workgroup->childCount(); ++i)
        QVERIFY(!workgroup->child(i)->isHidden());

    // The same for a folder that cannot be entered.
    m_net->failingOpens.clear();
    QTreeWidgetItem* share = expandPath({"WG-B", "\\\\alpha", "\\\\alpha\\Docs"});
    doubleClick(share); // collapse
    m_files->unreadableFolders.insert("\\\\alpha\\Docs");
    doubleClick(share);
    waitIdle();
    QCOMPARE(childTexts(share).size(), 3);
    QVERIFY(!share->isExpanded());
}

void LocationTreeTest::busyItemShowsAPlaceholderAndIgnoresASecondDoubleClick()
{
    startTree();
    QTreeWidgetItem* workgroup = top("WG-B");
    doubleClick(workgroup);
    waitIdle();
    QTreeWidgetItem* computer = child(workgroup, "\\\\alpha");
    m_source->hold("\\\\alpha");
    doubleClick(computer);
    QTest::qWait(50);
    QVERIFY(m_tree->isListing(computer));
    QVERIFY(hasPlaceholder(computer));
    QVERIFY(computer->isExpanded());
    QCOMPARE(m_tree->viewport()->cursor().shape(), Qt::BusyCursor);

    // A second double-click while the listing runs does nothing.
    doubleClick(computer);
    QTest::qWait(50);
    QVERIFY(computer->isExpanded());
    QCOMPARE(m_tree->listingsUnderWay(), 1);

    m_source->release();
    waitIdle();
    QVERIFY(!hasPlaceholder(computer));
    QCOMPARE(childTexts(computer).size(), 3);
    QCOMPARE(int(std::count(m_net->opened.begin(), m_net->opened.end(), std::string("\\\\alpha"))), 1);
    QVERIFY(!m_tree->viewport()->testAttribute(Qt::WA_SetCursor));
}

void LocationTreeTest::itemDeletedBeforeItsListingReturns()
{
    startTree();
    QTreeWidgetItem* workgroup = top("WG-B");
    doubleClick(workgroup);
    waitIdle();
    m_source->hold("\\\\alpha");
    doubleClick(child(workgroup, "\\\\alpha"));
    QTest::qWait(20);
    QCOMPARE(m_tree->listingsUnderWay(), 1);
    // The parent's children go (as a new listing of it would remove them).
    qDeleteAll(workgroup->takeChildren());
    QSignalSpy finished(m_tree.get(), &CLeftView::listingFinished);
    m_source->release();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(m_tree->listingsUnderWay(), 0);
    QCOMPARE(workgroup->childCount(), 0);
    QVERIFY(!m_tree->viewport()->testAttribute(Qt::WA_SetCursor));
}

void LocationTreeTest::closingWhileAListingHangsReturnsAtOnce()
{
    startTree();
    m_source->hold("WG-B"); // released only by abort()
    doubleClick(top("WG-B"));
    QTest::qWait(50);
    QCOMPARE(m_tree->listingsUnderWay(), 1);
    QElapsedTimer clock;
    clock.start();
    m_tree.reset();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(m_source->aborted());
}

void LocationTreeTest::dragOffersTheSelectedPlace()
{
    startTree();
    QTreeWidgetItem* folder = expandPath({"WG-B", "\\\\alpha", "\\\\alpha\\Docs", "A-folder"});
    m_tree->setCurrentItem(folder);
    QString text;
    QList<QUrl> urls;
    Qt::DropActions allowed;
    m_tree->setDragRunner([&](QDrag& drag, Qt::DropActions actions) {
        text = drag.mimeData()->text();
        urls = drag.mimeData()->urls();
        allowed = actions;
    });
    // A drag with the mouse from the selected item.
    const QPoint from = m_tree->visualItemRect(folder).center();
    QTest::mousePress(m_tree->viewport(), Qt::LeftButton, {}, from);
    // QTest's move carries no button; the view starts a drag at the second move
    // with one held.
    for (const QPoint step : {QPoint(5, 5), QPoint(30, 30)}) {
        const QPointF at(from + step);
        QMouseEvent move(QEvent::MouseMove, at, m_tree->viewport()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(m_tree->viewport(), &move);
    }
    // A real drag swallows the release; here it comes back over the item pressed.
    QTest::mouseRelease(m_tree->viewport(), Qt::LeftButton, {}, from);
    QCOMPARE(text, QString("\\\\alpha\\Docs\\A-folder"));
    QCOMPARE(urls, QList<QUrl>{QUrl("smb://alpha/Docs/A-folder")});
    QCOMPARE(allowed, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);

    // The item under the cursor is not what is offered: the selected one is.
    QTreeWidgetItem* other = child(folder->parent(), "b-folder");
    m_tree->selectionModel()->setCurrentIndex(m_tree->indexFromItem(other), QItemSelectionModel::NoUpdate);
    std::unique_ptr<QMimeData> data(m_tree->makeDragData());
    QCOMPARE(data->text(), QString("\\\\alpha\\Docs\\A-folder"));

    // Above the shares: the entire network is smb://, a computer its name.
    m_tree->setCurrentItem(m_tree->entireNetworkItem());
    data.reset(m_tree->makeDragData());
    QCOMPARE(data->urls(), QList<QUrl>{QUrl("smb://")});
    m_tree->setCurrentItem(child(top("WG-B"), "\\\\alpha"));
    data.reset(m_tree->makeDragData());
    QCOMPARE(data->urls(), QList<QUrl>{QUrl("smb://alpha")});
    QCOMPARE(data->text(), QString("\\\\alpha"));
}

void LocationTreeTest::refusedShareAsksForAnAccountAndKeepsWhatWorked()
{
    const SmbCredentials account{"qvtest", "Qv-Test.2024", "QVGROUP1", false};
    m_source->require("alpha", account);
    QStringList asked;
    m_tree->setCredentialPrompt([&](const QString& server, const QString& place) -> std::optional<CredentialAnswer> {
        asked << server + " " + place;
        return CredentialAnswer{account, false};
    });
    startTree();
    QTreeWidgetItem* share = expandPath({"WG-B", "\\\\alpha", "\\\\alpha\\Docs"});
    // The computer's share list was refused first: asked once, for the computer.
    QCOMPARE(asked, (QStringList{"alpha \\\\alpha"}));
    QCOMPARE(childTexts(share), (QStringList{".hidden", "A-folder", "b-folder"}));
    QCOMPARE(m_store->find("ALPHA"), std::optional<SmbCredentials>(account));

    // The session's account is used from now on: no more questions for that server.
    doubleClick(child(child(top("WG-B"), "\\\\alpha"), "\\\\alpha\\data"));
    waitIdle();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(childTexts(child(child(top("WG-B"), "\\\\alpha"), "\\\\alpha\\data")), QStringList{"2024"});
}

void LocationTreeTest::cancelledOrRefusedAccountLeavesTheItem()
{
    startTree();
    QTreeWidgetItem* share = expandPath({"WG-B", "\\\\alpha", "\\\\alpha\\Docs"});
    doubleClick(share); // collapse; its folders stay
    const SmbCredentials account{"qvtest", "right", "", false};
    m_source->require("alpha", account);

    // A wrong password is asked again; Cancel then leaves the item as it was.
    QStringList answers{"wrong", "cancel"};
    m_tree->setCredentialPrompt([&](const QString&, const QString&) -> std::optional<CredentialAnswer> {
        const QString answer = answers.takeFirst();
        if (answer == "cancel")
            return std::nullopt;
        return CredentialAnswer{{"qvtest", answer.toStdString(), "", false}, false};
    });
    doubleClick(share);
    waitIdle();
    QVERIFY(answers.isEmpty());
    QCOMPARE(childTexts(share), (QStringList{".hidden", "A-folder", "b-folder"}));
    QVERIFY(!share->isExpanded());
    QVERIFY(!hasPlaceholder(share));
    QVERIFY(!m_store->find("alpha"));
    // The refused account was taken back: the server gets the anonymous one again.
    QCOMPARE(m_source->accountFor("alpha"), SmbCredentials{});
}

void LocationTreeTest::keyringAccountIsTriedBeforeAsking()
{
    const SmbCredentials kept{"keeper", "kept-secret", "", false};
    const SmbCredentials typed{"typist", "typed-secret", "", false};
    auto keyring = std::make_shared<FakeKeyring>();
    keyring->kept = kept;
    m_tree->setLocationSource(m_source, m_store, keyring);
    int prompts = 0;
    m_tree->setCredentialPrompt([&](const QString&, const QString&) -> std::optional<CredentialAnswer> {
        ++prompts;
        return CredentialAnswer{typed, true};
    });
    m_source->require("alpha", kept);
    startTree();
    QTreeWidgetItem* computer = expandPath({"WG-B", "\\\\alpha"});
    QCOMPARE(prompts, 0);
    QCOMPARE(childTexts(computer).size(), 3);
    QCOMPARE(m_store->find("alpha"), std::optional<SmbCredentials>(kept));

    // The keyring is asked once per server: when its account no longer works, the
    // user is, and an account given with the box ticked goes to the keyring.
    m_source->require("ZETA", typed);
    QTreeWidgetItem* other = expandPath({"WG-B", "\\\\ZETA"});
    QCOMPARE(prompts, 1);
    QCOMPARE(childTexts(other), QStringList{"\\\\ZETA\\public"});
    std::lock_guard lock(keyring->m_mutex);
    QCOMPARE(keyring->lookups, (std::vector<std::string>{"alpha", "ZETA"}));
    QCOMPARE(keyring->saved, std::vector<std::string>{"ZETA typist typed-secret"});
}

void LocationTreeTest::credentialStoreHandsAccountsToEveryClient()
{
    CredentialStore store;
    auto before = std::make_shared<SmbClient>(FAKE_SMB_HELPER);
    store.attach(before);
    store.store("QVHOST1", {"qvtest", "pw", "QVGROUP1", false});
    auto after = std::make_shared<SmbClient>(FAKE_SMB_HELPER);
    store.attach(after);
    {
        auto gone = std::make_shared<SmbClient>(FAKE_SMB_HELPER);
        store.attach(gone);
    }
    // Another spelling of the same server replaces the entry, in every client.
    store.store("qvhost1", {"qvtest", "pw2", "", false});
    for (const auto& client : {before, after}) {
        std::vector<SmbNetEntry> entries;
        QCOMPARE(client->listNetwork("smb://SETTINGS", entries), 0);
        QStringList names;
        for (const SmbNetEntry& entry : entries)
            names << QString::fromStdString(entry.name);
        QVERIFY2(names.contains("credentials qvhost1 qvtest pw2 "), qPrintable(names.join('|')));
        QCOMPARE(names.filter("QVHOST1").size(), 0);
    }
    QCOMPARE(store.find("QvHost1")->password, std::string("pw2"));
}

void LocationTreeTest::desktopKeyringWithoutAServiceKeepsNothing()
{
#if defined(__SANITIZE_THREAD__)
    // GLib's D-Bus threads synchronise through futexes that ThreadSanitizer cannot
    // see (as Qt's do), and GLib is not among the libraries it is told to leave out.
    QSKIP("GLib is not instrumented");
#elif defined(QV_HAVE_LIBSECRET)
    // A desktop without a keyring service: nothing kept, nothing found, no wait.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quendle-test-bus");
    const std::shared_ptr<PasswordKeyring> keyring = PasswordKeyring::desktop();
    QVERIFY(keyring);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!keyring->save("QVHOST1", {"qvtest", "secret", "", false}));
    QVERIFY(!keyring->lookup("QVHOST1"));
    QVERIFY(clock.elapsed() < 5000);
#else
    QSKIP("built without libsecret: the pane offers no keyring");
#endif
}

void LocationTreeTest::discoveredWorkgroupsAndComputersJoinAsTheyArrive()
{
    // The round reports its hosts only when the test lets it.
    std::mutex mutex;
    std::condition_variable wake;
    bool go = false;
    auto directory = std::make_shared<NetworkDirectory>(
        [&](const std::function<void(const DiscoveredHost&)>& found, const std::atomic<bool>& cancel) {
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [&] { return go || cancel.load(); });
            }
            const std::pair<const char*, const char*> hosts[] = {
                {"NEWPC", "WG-B"}, {"zeta", "wg-b"}, {"MORI5", "WSDGROUP"}};
            for (const auto& [name, workgroup] : hosts) {
                DiscoveredHost host;
                host.name = name;
                host.workgroup = workgroup;
                host.address = "192.0.2.40";
                host.source = DiscoverySource::NetbiosSweep;
                found(host);
            }
        });
    m_tree->setNetworkDirectory(directory);
    startTree();
    QCOMPARE(childTexts(m_tree->invisibleRootItem()), (QStringList{kEntireNetwork, "WG-B", "WG-A", "DOMAIN1"}));
    QTreeWidgetItem* wgB = expandPath({"WG-B"});
    QCOMPARE(childTexts(wgB), (QStringList{"\\\\alpha", "\\\\ZETA"}));
    QTreeWidgetItem* alpha = expandPath({"WG-B", "\\\\alpha"});

    {
        std::lock_guard lock(mutex);
        go = true;
    }
    wake.notify_all();
    // New workgroups at the top, after the browse list's; computers under the opened
    // workgroup, sorted with the others and never twice; closed workgroups untouched.
    QTRY_COMPARE(childTexts(m_tree->invisibleRootItem()),
                 (QStringList{kEntireNetwork, "WG-B", "WG-A", "DOMAIN1", "WSDGROUP"}));
    QTRY_COMPARE(childTexts(wgB), (QStringList{"\\\\alpha", "\\\\NEWPC", "\\\\ZETA"}));
    QCOMPARE(childImages(wgB), (QList<int>{1, 1, 1}));
    QVERIFY2(alpha->isExpanded() && alpha->childCount() == 3, "an open computer stays open");
    QCOMPARE(m_tree->currentItem(), alpha);
    QCOMPARE(top("WG-A")->childCount(), 0);
    // A listing of the new workgroup goes through the source like any other.
    m_net->setChildren("WSDGROUP", {{"\\\\MORI5", true, false}});
    QCOMPARE(childTexts(expandPath({"WSDGROUP"})), QStringList{"\\\\MORI5"});
}

void LocationTreeTest::typedComputersHaveAnItemOfTheirOwn()
{
    auto directory = std::make_shared<NetworkDirectory>();
    m_tree->setNetworkDirectory(directory);
    QString answer;
    m_tree->setComputerPrompt([&](QWidget*) { return answer; });
    startTree();
    QVERIFY(!m_tree->typedComputersItem());

    QSignalSpy places(m_tree.get(), &CLeftView::placeSelected);
    answer = QStringLiteral("192.0.2.5"); // the backslashes may be left out
    m_tree->addComputer();
    QTreeWidgetItem* typed = m_tree->typedComputersItem();
    QVERIFY(typed);
    QCOMPARE(typed->text(0), QStringLiteral("追加したコンピューター"));
    QCOMPARE(m_tree->indexOfTopLevelItem(typed), m_tree->topLevelItemCount() - 1);
    QCOMPARE(childTexts(typed), QStringList{"\\\\192.0.2.5"});
    QCOMPARE(m_tree->currentItem(), typed->child(0));
    QCOMPARE(m_tree->selectionLevel(), 2);
    QCOMPARE(m_tree->currentPath(), QStringLiteral("\\\\192.0.2.5"));
    QVERIFY(!places.isEmpty());

    answer = QStringLiteral("\\\\[fe80::1]");
    m_tree->addComputer();
    for (const char* refused : {"\\\\MORI5\\docs", "", "   ", "\\\\192.0.2.5"}) {
        answer = QString::fromUtf8(refused);
        m_tree->addComputer();
    }
    QCOMPARE(childTexts(typed), (QStringList{"\\\\192.0.2.5", "\\\\[fe80::1]"}));
    QCOMPARE(directory->typedComputers(), (std::vector<std::string>{"\\\\192.0.2.5", "\\\\[fe80::1]"}));

    // The item opens like a workgroup: its computers, as the directory lists them.
    m_tree->setCurrentItem(typed);
    QCOMPARE(m_tree->selectionLevel(), 1);

    m_tree->setCurrentItem(typed->child(0));
    m_tree->removeSelectedComputer();
    QCOMPARE(childTexts(m_tree->typedComputersItem()), QStringList{"\\\\[fe80::1]"});
    m_tree->setCurrentItem(m_tree->typedComputersItem()->child(0));
    m_tree->removeSelectedComputer();
    QVERIFY(!m_tree->typedComputersItem());
    // Only typed computers can be removed.
    m_tree->setCurrentItem(top("WG-A"));
    m_tree->removeSelectedComputer();
    QVERIFY(top("WG-A"));
}

void LocationTreeTest::typedComputersAreKeptInTheProfile()
{
    QTemporaryDir folder;
    const QString file = folder.filePath("profile.ini");
    {
        QSettings settings(file, QSettings::IniFormat);
        StandardProfile profile;
        profile.setTypedComputers({"\\\\MORI5", "\\\\192.0.2.5"});
        profile.save(settings);
    }
    {
        QSettings settings(file, QSettings::IniFormat);
        StandardProfile profile;
        profile.load(settings);
        QCOMPARE(profile.typedComputers(), (QStringList{"\\\\MORI5", "\\\\192.0.2.5"}));
        QCOMPARE(settings.value("Typed Computers/Computer2").toString(), QStringLiteral("\\\\192.0.2.5"));
        profile.setTypedComputers({});
        profile.save(settings);
    }
    QSettings settings(file, QSettings::IniFormat);
    QVERIFY2(!settings.childGroups().contains("Typed Computers"), "no section while there are none");
}

QTEST_MAIN(LocationTreeTest)
#include "LocationTreeTest.moc"

void LocationTreeTest::selectPlaceFindsOnlyItemsTheTreeShows()
{
    startTree();
    const auto place = [](const char* text) { return SearchPlace::fromText(text); };
    QVERIFY(m_tree->selectPlace(place("wg-a"))); // names without regard to case
    QCOMPARE(m_tree->currentItem(), top("WG-A"));
    // Not listed yet: nothing changes.
    QVERIFY(!m_tree->selectPlace(place("\\\\alpha")));
    QVERIFY(!m_tree->selectPlace(place("\\\\alpha\\Docs")));
    QCOMPARE(m_tree->currentItem(), top("WG-A"));

    QTreeWidgetItem* docs = expandPath({"WG-B", "\\\\alpha", "\\\\alpha\\Docs"});
    QVERIFY(docs);
    m_tree->setCurrentItem(top("WG-A"));
    QVERIFY(m_tree->selectPlace(place("\\\\ALPHA\\docs")));
    QCOMPARE(m_tree->currentItem(), docs);
    QVERIFY(m_tree->selectPlace(place("\\\\alpha")));
    QCOMPARE(m_tree->currentItem(), docs->parent());
    // A computer's name is no workgroup, a local folder never a tree item.
    QVERIFY(!m_tree->selectPlace(place("alpha")));
    QVERIFY(!m_tree->selectPlace(place("./WG-A")));
    QVERIFY(m_tree->selectPlace(SearchPlace{}));
    QCOMPARE(m_tree->currentItem(), m_tree->entireNetworkItem());
}

void LocationTreeTest::startPlaceIsTheTreeItemOnceItArrivesElseTheFormsPlace()
{
    const QString here = QDir::currentPath();
    auto placeBox = [](CMainFrame& frame) {
        return frame.searchForm()->control(FormControl::PlaceBox)->property("text").toString();
    };
    {
        // The workgroups come with the first listing: smb://NAME is the workgroup when
        // the tree lists one of that name.
        m_source->hold("entry:SMB");
        CMainFrame frame(nullptr);
        frame.locationTree()->setLocationSource(m_source, m_store);
        frame.show();
        frame.openAtPlace(StartPlace::fromArgument("smb://wg-a", here));
        QCOMPARE(placeBox(frame), QStringLiteral("\\\\wg-a"));
        QCOMPARE(frame.searchForm()->searchPlace().level, int(LevelComputer));
        m_source->release();
        QTRY_COMPARE(frame.searchForm()->searchPlace().level, int(LevelWorkgroup));
        QCOMPARE(placeBox(frame), QStringLiteral("WG-A"));
        QCOMPARE(frame.locationTree()->currentItem()->text(0), QStringLiteral("WG-A"));
    }
    {
        // A place the user picks before the tree is ready stays.
        m_source->hold("entry:SMB");
        CMainFrame frame(nullptr);
        frame.locationTree()->setLocationSource(m_source, m_store);
        frame.show();
        frame.openAtPlace(StartPlace::fromArgument("WG-B", here));
        frame.locationTree()->setCurrentItem(frame.locationTree()->entireNetworkItem());
        m_source->release();
        QTRY_COMPARE(frame.locationTree()->listingsUnderWay(), 0);
        QCOMPARE(frame.locationTree()->currentItem(), frame.locationTree()->entireNetworkItem());
        QCOMPARE(placeBox(frame), kEntireNetwork);
    }
    {
        // A local folder is the form's place; one that does not exist is said so.
        QTemporaryDir dir;
        CMainFrame frame(nullptr);
        frame.locationTree()->setLocationSource(m_source, m_store);
        frame.show();
        frame.openAtPlace(StartPlace::fromArgument(dir.path(), here));
        QCOMPARE(placeBox(frame), dir.path());
        QVERIFY(frame.searchForm()->searchPlace().local);
        QVERIFY(frame.locationTree()->selectedItems().isEmpty());

        const QString missing = dir.filePath(QStringLiteral("無い %41 フォルダ"));
        frame.openAtPlace(StartPlace::fromArgument(missing, here));
        QCOMPARE(placeBox(frame), missing);
        QCOMPARE(frame.messageText(), QStringLiteral("探す場所が見つかりません: ") + missing);
    }
}
