// Start-up and exit of the application object: start directory, caption, the
// standard profile in the XDG config folder, the about box and the help hook.
#include "ModalProbe.h"
#include "RecordingLauncher.h"

#include "app/CMainFrame.h"
#include "app/CQVApp.h"
#include "resources/CommandIds.h"
#include "app/results/CQVView.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

using namespace qv;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Runs the test body with the current directory set to `dir`, as if the program
// had been started from there.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const QString& dir)
        : m_old(QDir::currentPath())
    {
        QDir::setCurrent(dir);
    }
    ~CurrentDirectory() { QDir::setCurrent(m_old); }

private:
    QString m_old;
};

} // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void startUpRemembersStartDirectoryAndSetsCaption();
    void profileIsReadAtStartAndWrittenBackAtExit();
    void aFreshProfileStaysEmpty();
    void aboutBoxShowsNameVersionAndClosesWithOk();
    void f1OpensTheProgramsHelpNeverOneOfTheStartDirectory();
    void helpFileIsInTheProgramsDataFolder();

private:
    QString profilePath() const
    {
        return m_config.filePath("Local AppWizard-Generated Applications/Quendle.ini");
    }

    QTemporaryDir m_config;
    QTemporaryDir m_start;
    std::shared_ptr<RecordingLauncher> m_launcher;
};

void AppTest::initTestCase()
{
    // Before any QSettings exists: Qt reads the config folder once.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

void AppTest::init()
{
    QFile::remove(profilePath());
    QFile::remove(m_start.filePath("help.txt"));
    m_launcher = std::make_shared<RecordingLauncher>();
}

void AppTest::startUpRemembersStartDirectoryAndSetsCaption()
{
    CurrentDirectory cd(m_start.path());
    CQVApp app(m_launcher);
    QVERIFY(app.initInstance());
    QCOMPARE(app.startDirectory(), QDir::currentPath());
    QVERIFY(!app.startDirectory().endsWith('/'));
    QVERIFY(app.mainFrame()->isVisible());
    QCOMPARE(app.mainFrame()->windowTitle(), QString("Quendle"));
    QVERIFY(!app.mainFrame()->windowIcon().isNull());
    QVERIFY(app.document());
    app.exitInstance();
}

void AppTest::profileIsReadAtStartAndWrittenBackAtExit()
{
    {
        QSettings seed(profilePath(), QSettings::IniFormat);
        seed.setValue("Recent File List/File1", "/srv/a.qv");
        seed.setValue("Recent File List/File2", "/srv/b.qv");
        seed.setValue("Recent File List/File3", "/srv/c.qv");
        seed.setValue("Recent File List/File4", "/srv/d.qv");
        seed.setValue("Recent File List/File5", "/srv/e.qv"); // beyond the four
        seed.setValue("Settings/PreviewPages", 2);
    }
    CQVApp app(m_launcher);
    QVERIFY(app.initInstance());
    QCOMPARE(app.profile().recentFiles(), (QStringList{"/srv/a.qv", "/srv/b.qv", "/srv/c.qv", "/srv/d.qv"}));
    QCOMPARE(app.profile().previewPages(), 2);
    app.exitInstance();

    QVERIFY(QFile::exists(profilePath()));
    QSettings written(profilePath(), QSettings::IniFormat);
    QCOMPARE(written.childGroups(), (QStringList{"Recent File List", "Settings"}));
    written.beginGroup("Recent File List");
    QCOMPARE(written.childKeys(), (QStringList{"File1", "File2", "File3", "File4"}));
    QCOMPARE(written.value("File4").toString(), QString("/srv/d.qv"));
    written.endGroup();
    QCOMPARE(written.value("Settings/PreviewPages").toInt(), 2);
}

void AppTest::aFreshProfileStaysEmpty()
{
    CQVApp app(m_launcher);
    QVERIFY(app.initInstance());
    QVERIFY(app.profile().recentFiles().isEmpty());
    QCOMPARE(app.profile().previewPages(), 0);
    app.exitInstance();
    // Nothing to remember: no recent files, preview value 0.
    QSettings written(profilePath(), QSettings::IniFormat);
    QVERIFY(written.allKeys().isEmpty());
}

void AppTest::aboutBoxShowsNameVersionAndClosesWithOk()
{
    CQVApp app(m_launcher);
    QVERIFY(app.initInstance());
    for (const QString name : {QString("menu%1").arg(cmd::AppAbout), QString("button%1").arg(cmd::AppAbout)}) {
        ModalSeen seen;
        probeNextModal(&seen);
        QAction* about = app.mainFrame()->findChild<QAction*>(name);
        QVERIFY(about);
        about->trigger();
        QVERIFY2(seen.shown, qPrintable(name));
        QCOMPARE(seen.objectName, QString("aboutBox"));
        QCOMPARE(seen.title, QString("Quendle　について"));
        QCOMPARE(seen.labels.value(0), QString("Quendle 1.0"));
        QCOMPARE(seen.labels.size(), 2);
        QCOMPARE(seen.labels.value(1).count('\n'), 1); // the two-line field
        QVERIFY(seen.okIsDefault);
        QVERIFY(seen.childrenInside);
        QVERIFY(seen.textsClearOfOk);
        QVERIFY(seen.size.width() > seen.size.height() * 2); // a wide box, as its template
    }
    app.exitInstance();
}

// F1 opened a help.txt planted in the folder the program was started from.
void AppTest::f1OpensTheProgramsHelpNeverOneOfTheStartDirectory()
{
    writeFile(m_start.filePath("help.txt"), "planted\n");
    CurrentDirectory cd(m_start.path());
    CQVApp app(m_launcher);
    QVERIFY(app.initInstance());
    QVERIFY(QTest::qWaitForWindowExposed(app.mainFrame()));
    app.mainFrame()->activateWindow();
    app.mainFrame()->rightPane()->setFocus();
    QTest::keyClick(app.mainFrame(), Qt::Key_F1);
    const QString programs = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/quendle/help.txt");
    QCOMPARE(m_launcher->opened, QStringList{QUrl::fromLocalFile(programs).toString()});
    app.exitInstance();
}

void AppTest::helpFileIsInTheProgramsDataFolder()
{
    // The build tree lays the program and its data out as an installation does.
    QCOMPARE(CQVApp::helpFilePath("/usr/bin"), QString("/usr/share/quendle/help.txt"));
    QCOMPARE(CQVApp::helpFilePath("/home/u/build/app"), QString("/home/u/build/share/quendle/help.txt"));
    QVERIFY(QFileInfo::exists(CQVApp::helpFilePath(QStringLiteral(QV_PROGRAM_DIR))));
}

QTEST_MAIN(AppTest)
#include "AppTest.moc"
