// The location tree pane against the Samba test LAN, run inside the LAN's client
// namespace by tests/smb/run-lan-tests: the real network, a share that refuses guests
// (the account asked for once, then used by the searches too), and a close while a
// listing waits for a host that does not answer.
#include "network/SearchServices.h"
#include "app/tree/CLeftView.h"
#include "network/LanNetwork.h"
#include "network/NetworkDirectory.h"
#include "network/SmbLocationSource.h"
#include "platform/CredentialStore.h"
#include "platform/FileSystem.h"
#include "platform/SmbClient.h"

#include <QElapsedTimer>
#include <QTest>

#include <cerrno>
#include <cstdlib>

using namespace qv;

namespace {

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

int runLanScript(const std::string& command)
{
    const std::string line = env("QVLAN_DIR") + "/" + command + " >&2";
    return std::system(line.c_str());
}

QStringList childTexts(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

QTreeWidgetItem* child(QTreeWidgetItem* item, const QString& text)
{
    for (int i = 0; item && i < item->childCount(); ++i)
        if (item->child(i)->text(0) == text)
            return item->child(i);
    return nullptr;
}

} // namespace

class LocationTreeLanTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void browsesTheRealNetwork();
    void refusedShareTakesTheAccountAndTheSearchUsesIt();
    void discoveredHostsJoinTheTreeAndOpen();
    void closingWhileAHostIsSilentDoesNotWait();

private:
    void open(QTreeWidgetItem* item);
    QTreeWidgetItem* top(const QString& text);

    std::shared_ptr<CredentialStore> m_store;
    std::shared_ptr<SmbLocationSource> m_source;
    std::unique_ptr<CLeftView> m_tree;
};

void LocationTreeLanTest::initTestCase()
{
    QVERIFY2(!env("QVLAN_USER").empty(), "QVLAN_USER comes from tests/lan/env.sh through run-lan-tests");
}

void LocationTreeLanTest::init()
{
    m_store = std::make_shared<CredentialStore>();
    m_source = std::make_shared<SmbLocationSource>(m_store);
    m_tree = std::make_unique<CLeftView>();
    m_tree->setLocationSource(m_source, m_store);
    m_tree->resize(400, 700);
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    QTRY_COMPARE_WITH_TIMEOUT(m_tree->listingsUnderWay(), 0, 30000);
}

void LocationTreeLanTest::cleanup()
{
    m_tree.reset();
    m_source.reset();
}

QTreeWidgetItem* LocationTreeLanTest::top(const QString& text)
{
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
        if (m_tree->topLevelItem(i)->text(0) == text)
            return m_tree->topLevelItem(i);
    return nullptr;
}

void LocationTreeLanTest::open(QTreeWidgetItem* item)
{
    QVERIFY(item);
    m_tree->setCurrentItem(item);
    m_tree->openSelection();
    QTRY_COMPARE_WITH_TIMEOUT(m_tree->listingsUnderWay(), 0, 30000);
}

void LocationTreeLanTest::browsesTheRealNetwork()
{
    QCOMPARE(m_tree->topLevelItem(0)->text(0), QString("ネットワーク全体"));
    QVERIFY(top("QVGROUP1"));
    QVERIFY(top("QVGROUP2"));
    QCOMPARE(m_tree->topLevelItemCount(), 3);

    open(top("QVGROUP1"));
    // KITA4 is in the browse list but turns SMB1 down.
    QCOMPARE(childTexts(top("QVGROUP1")), (QStringList{"\\\\KITA4", "\\\\QVHOST1", "\\\\QVHOST2"}));
    QTreeWidgetItem* kita = child(top("QVGROUP1"), "\\\\KITA4");
    open(kita);
    QCOMPARE(childTexts(kita), QStringList{"\\\\KITA4\\docs"});
    open(top("QVGROUP2"));
    QCOMPARE(childTexts(top("QVGROUP2")), QStringList{"\\\\QVFILER3"});

    QTreeWidgetItem* host = child(top("QVGROUP1"), "\\\\QVHOST1");
    open(host);
    // Hidden and IPC shares are left out; the printer share has its own image.
    QCOMPARE(childTexts(host), (QStringList{"\\\\QVHOST1\\public", "\\\\QVHOST1\\qvprinter", "\\\\QVHOST1\\secret"}));
    QCOMPARE(child(host, "\\\\QVHOST1\\qvprinter")->data(0, CLeftView::ImageRole).toInt(), int(CLeftView::PrinterImage));
    QCOMPARE(child(host, "\\\\QVHOST1\\public")->data(0, CLeftView::ImageRole).toInt(), int(CLeftView::ShareImage));

    QTreeWidgetItem* share = child(host, "\\\\QVHOST1\\public");
    open(share);
    QCOMPARE(childTexts(share), (QStringList{"docs", "empty folder", "old"}));
    QTreeWidgetItem* docs = child(share, "docs");
    open(docs);
    QCOMPARE(childTexts(docs), (QStringList{"2023", "深い階層"}));
    m_tree->setCurrentItem(child(docs, "深い階層"));
    QCOMPARE(m_tree->currentPath(), QString("\\\\QVHOST1\\public\\docs\\深い階層"));
    QCOMPARE(m_tree->selectionLevel(), 5);
}

void LocationTreeLanTest::refusedShareTakesTheAccountAndTheSearchUsesIt()
{
    const std::shared_ptr<SearchServices> search = SearchServices::makeDefault(m_store);
    QVERIFY(!search->networkFiles->list("\\\\QVHOST1\\secret"));

    QStringList asked;
    m_tree->setCredentialPrompt([&](const QString& server, const QString& place) -> std::optional<CredentialAnswer> {
        asked << server + " " + place;
        return CredentialAnswer{{env("QVLAN_USER"), env("QVLAN_PASSWORD"), "", false}, false};
    });
    open(top("QVGROUP1"));
    QTreeWidgetItem* host = child(top("QVGROUP1"), "\\\\QVHOST1");
    open(host);
    QTreeWidgetItem* secret = child(host, "\\\\QVHOST1\\secret");
    open(secret);
    QCOMPARE(asked, QStringList{"QVHOST1 \\\\QVHOST1\\secret"});
    QCOMPARE(childTexts(secret), QStringList{"plans"});
    QVERIFY(m_store->find("QVHOST1"));

    // The search's own helper now reaches the share with the session's account, and
    // the guest shares of that server still open.
    const auto listing = search->networkFiles->list("\\\\QVHOST1\\secret");
    QVERIFY(listing);
    QStringList names;
    for (const FileEntry& entry : listing->entries())
        names << QString::fromStdString(entry.name);
    QVERIFY2(names.contains("社外秘.txt"), qPrintable(names.join('|')));
    QVERIFY(search->networkFiles->list("\\\\QVHOST1\\public"));

    // Listed again: no second question.
    open(secret);
    open(secret);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(childTexts(secret), QStringList{"plans"});
}

void LocationTreeLanTest::discoveredHostsJoinTheTreeAndOpen()
{
    // Inside the LAN's namespace, where discovery may send.
    setenv("QV_DISCOVERY", "1", 1);
    const auto directory = LanNetwork::makeDirectory();
    unsetenv("QV_DISCOVERY");
    m_tree.reset();
    m_source = std::make_shared<SmbLocationSource>(m_store, directory);
    m_tree = std::make_unique<CLeftView>();
    m_tree->setLocationSource(m_source, m_store);
    m_tree->setNetworkDirectory(directory);
    m_tree->resize(400, 700);
    QElapsedTimer clock;
    clock.start();
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    // The browse list's workgroups first; what discovery finds follows within its bound.
    QTRY_VERIFY_WITH_TIMEOUT(top("QVGROUP1") && top("QVGROUP2"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(top("WSDGROUP") && top("local") && top("LONEGROUP"), 10000);
    qInfo("the tree held every workgroup %lld ms after it showed", clock.elapsed());
    QCOMPARE(m_tree->topLevelItemCount(), 6);
    QCOMPARE(m_tree->topLevelItem(1)->text(0), QString("QVGROUP1"));

    const struct {
        const char* workgroup;
        const char* computer;
    } kHosts[] = {{"WSDGROUP", "\\\\MORI5"}, {"local", "\\\\hayashi6"}, {"LONEGROUP", "\\\\SAWA7"}};
    for (const auto& h : kHosts) {
        open(top(h.workgroup));
        QCOMPARE(childTexts(top(h.workgroup)), QStringList{h.computer});
        QTreeWidgetItem* computer = child(top(h.workgroup), h.computer);
        open(computer);
        const QString share = QString(h.computer) + "\\docs";
        QCOMPARE(childTexts(computer), QStringList{share});
        open(child(computer, share));
        QCOMPARE(childTexts(child(computer, share)), QStringList{"sub"});
    }
}

// Last: it unplugs a host and waits for the browse list to name it again.
void LocationTreeLanTest::closingWhileAHostIsSilentDoesNotWait()
{
    const std::string host = env("QVLAN_STOPPABLE_HOST");
    QVERIFY(!host.empty());
    open(top("QVGROUP1"));
    QTreeWidgetItem* item = child(top("QVGROUP1"), QString::fromStdString("\\\\" + host));
    QVERIFY(item);
    m_source->client().setTimeoutMs(20000);
    QCOMPARE(runLanScript("stop-host --unplug " + host), 0);

    m_tree->setCurrentItem(item);
    m_tree->openSelection();
    QTest::qWait(1500);
    const bool stillListing = m_tree->isListing(item);
    QElapsedTimer clock;
    clock.start();
    m_tree.reset();
    const qint64 took = clock.elapsed();
    qInfo("closing with a listing of the unplugged host under way took %lld ms", took);

    QCOMPARE(runLanScript("start-host " + host), 0);
    QVERIFY2(stillListing, "the listing of the unplugged host ended on its own");
    QVERIFY2(took < 1000, qPrintable(QStringLiteral("closing took %1 ms").arg(took)));
}

QTEST_MAIN(LocationTreeLanTest)
#include "LocationTreeLanTest.moc"
