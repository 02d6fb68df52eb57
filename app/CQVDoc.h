// The document of the single-document application: no data of its own. Its only
// commands, Save and Save As, save the result list as an HTML report, CSV or JSON Lines.
#pragma once

#include "app/CommandTarget.h"

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

namespace qv {

class CSearchForView;
class ResultListModel;

class CQVDoc final : public QObject, public CommandTarget {
    Q_OBJECT
public:
    // The path the report goes to; empty when the user cancelled.
    using SavePathChooser = std::function<QString()>;
    // Tells the user why the report could not be written.
    using FailureReporter = std::function<void(const QString& message)>;

    explicit CQVDoc(QObject* parent = nullptr);

    // A new, empty document is accepted as it is.
    bool onNewDocument();

    // What a report is made of: the criteria and found count of the form's last
    // search and the result list as it is shown. The window parents the dialogs.
    void setReportSources(const CSearchForView* form, const ResultListModel* model, QWidget* window);
    // Replace the save dialog and the warning box (tests run without dialogs).
    void setSavePathChooser(SavePathChooser chooser);
    void setFailureReporter(FailureReporter reporter);

    // Save (57603) and Save As (57604): the save dialog, then the report.
    bool onCommand(int id) override;

    // Writes the report to path (CSV or JSON Lines of the rows for a .csv or .jsonl
    // path); on failure tells the user and returns false.
    bool saveReport(const QString& path);

private:
    const CSearchForView* m_form = nullptr;
    const ResultListModel* m_model = nullptr;
    QWidget* m_window = nullptr;
    SavePathChooser m_chooser;
    FailureReporter m_reporter;
};

} // namespace qv
