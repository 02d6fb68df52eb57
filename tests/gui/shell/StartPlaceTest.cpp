// qv's command line and the place its argument names: URLs, network names, local
// paths relative to the current directory, odd characters taken literally.
#include "app/QvCommandLine.h"
#include "app/StartPlace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qv;

class StartPlaceTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void argumentNamesThePlace_data();
    void argumentNamesThePlace();
    void commandLineOptionsAndPlaces();

private:
    QTemporaryDir m_dir;
};

void StartPlaceTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (const char* folder : {"sub dir", "50%off", "見積書", "-odd", "WG1x"})
        QVERIFY(QDir(m_dir.path()).mkpath(QString::fromUtf8(folder)));
    QFile file(m_dir.filePath("見積書/a.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void StartPlaceTest::argumentNamesThePlace_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("local");
    QTest::addColumn<QString>("placePath"); // "@" stands for the temporary folder
    QTest::addColumn<QString>("workgroup");
    QTest::addColumn<bool>("problem");

    const QString net = QStringLiteral("ネットワーク全体");
    QTest::newRow("nothing") << "" << 0 << false << net << "" << false;
    QTest::newRow("entire network text") << net << 0 << false << net << "" << false;
    QTest::newRow("smb root") << "smb://" << 0 << false << net << "" << false;
    QTest::newRow("smb one name") << "smb://QVHOST1" << 2 << false << "\\\\QVHOST1" << "QVHOST1" << false;
    QTest::newRow("smb address") << "smb://192.0.2.5" << 2 << false << "\\\\192.0.2.5" << "" << false;
    QTest::newRow("smb share, scheme in capitals") << "SMB://host/public" << 3 << false << "\\\\host\\public" << "" << false;
    QTest::newRow("smb folder, escapes")
        << "smb://host/public/a%20b/%E8%A6%8B%E7%A9%8D" << 5 << false << "\\\\host\\public\\a b\\見積" << "" << false;
    QTest::newRow("smb broken escape") << "smb://host/50%zz" << 0 << false << net << "" << true;
    QTest::newRow("unc share") << "\\\\HOST\\share" << 3 << false << "\\\\HOST\\share" << "" << false;
    QTest::newRow("unc with percent, trailing backslash")
        << "\\\\HOST\\share\\50%off\\" << 4 << false << "\\\\HOST\\share\\50%off" << "" << false;
    QTest::newRow("bare name, no such folder") << "QVGROUP1" << 1 << false << "QVGROUP1" << "" << false;
    QTest::newRow("bare name of a folder here") << "WG1x" << 4 << true << "@/WG1x" << "" << false;
    QTest::newRow("relative, space") << "./sub dir" << 4 << true << "@/sub dir" << "" << false;
    QTest::newRow("percent taken literally") << "50%off" << 4 << true << "@/50%off" << "" << false;
    QTest::newRow("leading dash") << "-odd" << 4 << true << "@/-odd" << "" << false;
    QTest::newRow("japanese") << "見積書" << 4 << true << "@/見積書" << "" << false;
    QTest::newRow("a file stands for its folder") << "見積書/a.txt" << 4 << true << "@/見積書" << "" << false;
    QTest::newRow("absolute, cleaned") << "@/sub dir/../見積書/" << 4 << true << "@/見積書" << "" << false;
    QTest::newRow("file url") << "file://@/sub%20dir" << 4 << true << "@/sub dir" << "" << false;
    QTest::newRow("missing folder") << "./nowhere" << 4 << true << "@/nowhere" << "" << true;
}

void StartPlaceTest::argumentNamesThePlace()
{
    QFETCH(QString, argument);
    QFETCH(int, level);
    QFETCH(bool, local);
    QFETCH(QString, placePath);
    QFETCH(QString, workgroup);
    QFETCH(bool, problem);
    argument.replace(QLatin1Char('@'), m_dir.path());
    placePath.replace(QLatin1Char('@'), m_dir.path());

    const StartPlace start = StartPlace::fromArgument(argument, m_dir.path());
    QCOMPARE(start.place().level, level);
    QCOMPARE(start.place().local, local);
    QCOMPARE(QString::fromStdString(start.place().placePath), placePath);
    if (local)
        QCOMPARE(QString::fromStdString(start.place().walkRoot), placePath);
    QCOMPARE(start.workgroupAlternative(), workgroup);
    QCOMPARE(!start.problem().isEmpty(), problem);
    if (problem)
        QVERIFY(start.problem().startsWith(QStringLiteral("探す場所が見つかりません: ")));
}

void StartPlaceTest::commandLineOptionsAndPlaces()
{
    const auto parse = [this](const QStringList& args, QvCommandLine& out) {
        QString error;
        out = {};
        const bool ok = QvCommandLine::parse(args, m_dir.path(), out, error);
        if (ok != error.isEmpty())
            return QStringLiteral("error text does not match the outcome");
        return error;
    };
    QvCommandLine line;
    QCOMPARE(parse({"--help"}, line), QString());
    QVERIFY(line.help && !line.hasPlace);
    QCOMPARE(parse({"-V"}, line), QString());
    QVERIFY(line.version);
    QCOMPARE(parse({"smb://HOST/share"}, line), QString());
    QCOMPARE(line.place, QStringLiteral("smb://HOST/share"));
    // Qt's own options are places or errors like any other, never taken by Qt.
    QVERIFY(parse({"-style"}, line).contains(QStringLiteral("unknown option '-style'")));
    QVERIFY(!parse({"--nope", "x"}, line).contains(QLatin1Char('\n')));
    // A leading "-": an existing local path, or anything after "--".
    QCOMPARE(parse({"-odd"}, line), QString());
    QCOMPARE(line.place, QStringLiteral("-odd"));
    QCOMPARE(parse({"--", "--help"}, line), QString());
    QVERIFY(!line.help && line.hasPlace);
    QCOMPARE(line.place, QStringLiteral("--help"));
    QCOMPARE(parse({"-"}, line), QString());
    QCOMPARE(line.place, QStringLiteral("-"));
    // Several places (a file manager's selection): the first.
    QCOMPARE(parse({"a", "b"}, line), QString());
    QCOMPARE(line.place, QStringLiteral("a"));
    QVERIFY(line.extraPlaces);
}

QTEST_GUILESS_MAIN(StartPlaceTest)
#include "StartPlaceTest.moc"
