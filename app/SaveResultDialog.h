// The save dialog of Save and Save As: title "Save Search Result as ", "*.htm" as the
// name and the first filter ("*.csv" and "*.jsonl" after it), the chosen filter's
// suffix appended to a name without one, and a prompt before an existing file is
// replaced.
#pragma once

#include <QFileDialog>

namespace qv {

class SaveResultDialog final : public QFileDialog {
    Q_OBJECT
public:
    enum class Format { Html, Csv, JsonLines };

    explicit SaveResultDialog(QWidget* parent = nullptr);

    // What a chosen path is written as: by its suffix (.csv, .jsonl), else the report.
    static Format formatOf(const QString& path);

    // The chosen path; empty when the user cancelled.
    static QString askPath(QWidget* parent);

public slots:
    // A name with "*" or "?" (the "*.htm" the dialog opens with) is a pattern, not a
    // file: Save leaves the dialog open instead of writing a file of that name.
    void accept() override;
};

} // namespace qv
