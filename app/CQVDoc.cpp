// The document: accepts new documents and owns the report commands.
#include "app/CQVDoc.h"

#include "app/CSearchForView.h"
#include "resources/CommandIds.h"
#include "app/SaveResultDialog.h"
#include "platform/ReportFile.h"
#include "resources/StringTable.h"
#include "results/CsvExport.h"
#include "results/HtmlReport.h"
#include "results/JsonLinesExport.h"
#include "app/results/ResultListModel.h"
#include "search/SearchCriteria.h"
#include "search/SearchState.h"

#include <QFile>
#include <QMessageBox>

namespace qv {
namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

CQVDoc::CQVDoc(QObject* parent)
    : QObject(parent)
{
}

bool CQVDoc::onNewDocument()
{
    return true;
}

void CQVDoc::setReportSources(const CSearchForView* form, const ResultListModel* model, QWidget* window)
{
    m_form = form;
    m_model = model;
    m_window = window;
}

void CQVDoc::setSavePathChooser(SavePathChooser chooser)
{
    m_chooser = std::move(chooser);
}

void CQVDoc::setFailureReporter(FailureReporter reporter)
{
    m_reporter = std::move(reporter);
}

bool CQVDoc::onCommand(int id)
{
    if (id != cmd::SaveResult && id != cmd::SaveResultAs)
        return false;
    const QString path = m_chooser ? m_chooser() : SaveResultDialog::askPath(m_window);
    if (!path.isEmpty())
        saveReport(path);
    return true;
}

bool CQVDoc::saveReport(const QString& path)
{
    // A form that has not searched yet holds these same defaults: no place, count 0.
    static const SearchCriteria kNoSearch;
    const SearchCriteria& criteria = m_form ? m_form->criteria() : kNoSearch;
    const std::int64_t found = m_form ? m_form->searchState().foundCount.load() : 0;
    static const ResultRowList kNoRows;
    const ResultRowList& rows = m_model ? m_model->rows() : kNoRows;

    ReportFile file(QFile::encodeName(path).toStdString());
    const auto writeRows = [&] {
        switch (SaveResultDialog::formatOf(path)) {
        case SaveResultDialog::Format::Csv: return CsvExport::write(rows, file);
        case SaveResultDialog::Format::JsonLines: return JsonLinesExport::write(rows, file);
        case SaveResultDialog::Format::Html: break;
        }
        return HtmlReport::write(criteria, found, rows, file);
    };
    if (file.open() && writeRows() && file.commit())
        return true;
    const QString message = QFile::decodeName(QByteArray::fromStdString(file.errorMessage()));
    if (m_reporter)
        m_reporter(message);
    else
        QMessageBox::warning(m_window, fromUtf8(loadString(IDS_APP_TITLE)), message);
    return false;
}

} // namespace qv
