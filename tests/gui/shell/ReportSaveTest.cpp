// Save and Save As of the document: the save dialog, the report of the list as it
// is shown with the last search's criteria, and the warning when it cannot be written.
#include "ModalProbe.h"

#include "app/CQVDoc.h"
#include "app/CSearchForView.h"
#include "resources/CommandIds.h"
#include "network/SearchServices.h"
#include "app/results/ResultListModel.h"
#include "search/SearchPlace.h"
#include "tests/support/FakeFileTypes.h"
#include "tests/support/MemoryFileSystem.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace qv;
using namespace qv::test;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

ResultRow fileRow(const std::string& name)
{
    ResultRow row;
    row.cell(Column::Name) = name;
    row.cell(Column::Path) = "\\\\HOST1\\DOCS";
    return row;
}

// What the save dialog showed when it came up. Save is pressed first with the name
// it opened with; then the dialog is cancelled, or given `name` in `folder` and saved.
struct DialogSeen {
    bool shown = false;
    QString title;
    QString nameText;
    QStringList filters;
    QString defaultSuffix;
    bool saveMode = false;
    bool confirmsOverwrite = false;
    bool patternKeptItOpen = false;
};

void answerNextSaveDialog(DialogSeen* seen, const QString& folder, const QString& name = {})
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* box = dialog->findChild<QDialogButtonBox*>();
        QPushButton* save = box ? box->button(QDialogButtonBox::Save) : nullptr;
        if (!edit || !save)
            return dialog->reject();
        seen->shown = true;
        seen->title = dialog->windowTitle();
        seen->nameText = edit->text();
        seen->filters = dialog->nameFilters();
        seen->defaultSuffix = dialog->defaultSuffix();
        seen->saveMode = dialog->acceptMode() == QFileDialog::AcceptSave;
        seen->confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        dialog->setDirectory(folder);
        save->click();
        seen->patternKeptItOpen = dialog->isVisible();
        if (name.isEmpty() || !dialog->isVisible())
            return dialog->reject();
        edit->setText(name);
        save->click();
        if (dialog->isVisible()) // the name was refused: do not hang the test
            dialog->reject();
    });
    timer->start();
    // Never wait forever for a dialog that did not come.
    QTimer::singleShot(5000, timer, [timer] { timer->deleteLater(); });
}

} // namespace

class ReportSaveTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void saveWritesTheListAsShownWithDefaultCriteria();
    void saveAfterASearchPrintsItsCriteriaAndCount();
    void cancelledChooserWritesNothing();
    void failingPathTellsTheUserNamingTheFile();
    void saveDialogOffersHtmAndAppendsTheSuffix();
    void csvAndJsonLinesByTheChosenSuffix();
    void choosingTheCsvFilterAppendsCsv();

private:
    QString inDir(const QString& name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ResultListModel> m_model;
    std::unique_ptr<CSearchForView> m_form;
    std::unique_ptr<CQVDoc> m_doc;
    QStringList m_messages;
};

void ReportSaveTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_model = std::make_unique<ResultListModel>();
    m_form = std::make_unique<CSearchForView>();
    m_form->setResultModel(m_model.get());
    m_doc = std::make_unique<CQVDoc>();
    m_doc->setReportSources(m_form.get(), m_model.get(), nullptr);
    m_messages.clear();
    m_doc->setFailureReporter([this](const QString& message) { m_messages << message; });
}

void ReportSaveTest::cleanup()
{
    m_doc.reset();
    m_form.reset();
    m_model.reset();
    m_dir.reset();
}

void ReportSaveTest::saveWritesTheListAsShownWithDefaultCriteria()
{
    m_model->addRows({fileRow("older.txt"), fileRow("newer.txt")});
    const QString path = inDir("r.htm");
    m_doc->setSavePathChooser([&] { return path; });
    for (const int id : {cmd::SaveResult, cmd::SaveResultAs}) {
        QFile::remove(path);
        QVERIFY(m_doc->onCommand(id));
        const QByteArray page = readAll(path);
        QVERIFY2(page.startsWith("<html>\r\n"), page.left(40).constData());
        QVERIFY(page.contains(QByteArray("<p><b>Search    from   ネットワーク全体\r\n<P>\r\n0  found\r\n")));
        const qsizetype newer = page.indexOf(">newer.txt</a>");
        QVERIFY(newer > 0);
        QVERIFY(newer < page.indexOf(">older.txt</a>"));
    }
    QVERIFY(m_messages.isEmpty());
}

void ReportSaveTest::saveAfterASearchPrintsItsCriteriaAndCount()
{
    auto files = std::make_shared<MemoryFileSystem>('/');
    for (const char* name : {"a.txt", "b.txt", "c.md"}) {
        FileEntry entry;
        entry.name = name;
        files->addFile("/mem", entry, "x");
    }
    auto services = std::make_shared<SearchServices>();
    services->localFiles = files;
    services->fileTypes = std::make_shared<FakeFileTypes>();
    m_form->setSearchServices(services);
    SearchPlace place;
    place.level = LevelFolder;
    place.placePath = place.walkRoot = "/mem";
    place.local = true;
    m_form->setSearchPlace(place);
    qobject_cast<QComboBox*>(m_form->control(FormControl::NameBox))->setEditText(QStringLiteral("*.TXT;"));
    QSignalSpy ended(m_form.get(), &CSearchForView::searchEnded);
    m_form->startSearch();
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
    QTRY_COMPARE(m_model->rowCount(), 2);

    const QString path = inDir("r.htm");
    m_doc->setSavePathChooser([&] { return path; });
    QVERIFY(m_doc->onCommand(cmd::SaveResultAs));
    const QByteArray page = readAll(path);
    QVERIFY(page.contains(QByteArray("<p><b>Search  *.txt  from   /mem\r\n<P>\r\n2  found\r\n")));
    QVERIFY(page.contains(QByteArray("<a href = \"file:///mem/b.txt\">b.txt</a>")));
    QVERIFY(page.contains(QByteArray("<a href = \"file:///mem/a.txt\">a.txt</a>")));
    QVERIFY(!page.contains("c.md"));
}

void ReportSaveTest::cancelledChooserWritesNothing()
{
    m_model->addRows({fileRow("a.txt")});
    int asked = 0;
    m_doc->setSavePathChooser([&] {
        ++asked;
        return QString();
    });
    QVERIFY(m_doc->onCommand(cmd::SaveResultAs));
    QCOMPARE(asked, 1);
    QVERIFY(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    QVERIFY(m_messages.isEmpty());
}

void ReportSaveTest::failingPathTellsTheUserNamingTheFile()
{
    const QString path = inDir("missing/r.htm");
    m_doc->setSavePathChooser([&] { return path; });
    QVERIFY(m_doc->onCommand(cmd::SaveResult));
    QCOMPARE(m_messages, QStringList{path + " contains an invalid path.\nNo such file or directory"});

    // Without a replacement the user sees a warning box.
    m_doc->setFailureReporter(nullptr);
    ModalSeen seen;
    probeNextModal(&seen);
    QVERIFY(m_doc->onCommand(cmd::SaveResult));
    QVERIFY(seen.shown);
    QCOMPARE(seen.title, QStringLiteral("Quendle"));
    QVERIFY2(seen.labels.join('\n').contains(path + " contains an invalid path."), qPrintable(seen.labels.join('|')));
    QVERIFY(!QFile::exists(path));
}

void ReportSaveTest::saveDialogOffersHtmAndAppendsTheSuffix()
{
    m_model->addRows({fileRow("a.txt")});
    DialogSeen cancelled;
    answerNextSaveDialog(&cancelled, m_dir->path());
    QVERIFY(m_doc->onCommand(cmd::SaveResult));
    QVERIFY(cancelled.shown);
    QVERIFY(cancelled.patternKeptItOpen); // "*.htm" names no file
    QVERIFY(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    DialogSeen seen;
    answerNextSaveDialog(&seen, m_dir->path(), QStringLiteral("result"));
    QVERIFY(m_doc->onCommand(cmd::SaveResultAs));
    QVERIFY(seen.shown);
    QCOMPARE(seen.title, QStringLiteral("Save Search Result as "));
    QCOMPARE(seen.nameText, QStringLiteral("*.htm"));
    QCOMPARE(seen.filters, (QStringList{QStringLiteral("*.htm"), QStringLiteral("*.csv"), QStringLiteral("*.jsonl")}));
    QCOMPARE(seen.defaultSuffix, QStringLiteral("htm"));
    QVERIFY(seen.saveMode);
    QVERIFY(seen.confirmsOverwrite);
    QVERIFY(readAll(inDir("result.htm")).startsWith("<html>\r\n"));
    QVERIFY(m_messages.isEmpty());
}

void ReportSaveTest::csvAndJsonLinesByTheChosenSuffix()
{
    m_model->addRows({fileRow("=cmd|' /C calc'!A0"), fileRow("a, \"b\".txt")});
    QVERIFY(m_doc->saveReport(inDir("rows.csv")));
    const QByteArray csv = readAll(inDir("rows.csv"));
    QVERIFY2(csv.startsWith("\xEF\xBB\xBFname,path,size,type,updated,created,accessed,match,match_string\r\n"
                            "\"a, \"\"b\"\".txt\","),
             csv.constData());
    QVERIFY2(csv.contains("\r\n\"'=cmd|' /C calc'!A0\","), csv.constData());

    QVERIFY(m_doc->saveReport(inDir("rows.JSONL")));
    const QList<QByteArray> lines = readAll(inDir("rows.JSONL")).split('\n');
    QCOMPARE(lines.size(), 3); // two rows and the empty rest after the last line end
    QVERIFY2(lines[0].startsWith("{\"name\":\"a, \\\"b\\\".txt\",\"path\":"), lines[0].constData());
    QVERIFY(lines[1].startsWith("{\"name\":\"=cmd|' /C calc'!A0\""));
    QVERIFY(m_messages.isEmpty());
}

void ReportSaveTest::choosingTheCsvFilterAppendsCsv()
{
    m_model->addRows({fileRow("a.txt")});
    auto* timer = new QTimer(this);
    timer->setInterval(20);
    bool answered = false;
    connect(timer, &QTimer::timeout, this, [&, timer] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!types || !edit)
            return dialog->reject();
        dialog->setDirectory(m_dir->path());
        // As a click in the list does: the index changes, then activated() and
        // textActivated() (which the dialog passes on as filterSelected()).
        const int csv = types->findText(QStringLiteral("*.csv"));
        types->setCurrentIndex(csv);
        emit types->activated(csv);
        emit types->textActivated(types->itemText(csv));
        answered = dialog->defaultSuffix() == QLatin1String("csv");
        edit->setText(QStringLiteral("result"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    timer->start();
    QVERIFY(m_doc->onCommand(cmd::SaveResultAs));
    timer->deleteLater();
    QVERIFY(answered);
    QVERIFY(readAll(inDir("result.csv")).startsWith("\xEF\xBB\xBFname,"));
    QVERIFY(!QFile::exists(inDir("result.htm")));
}

QTEST_MAIN(ReportSaveTest)
#include "ReportSaveTest.moc"
