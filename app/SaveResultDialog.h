// The save dialog of Save and Save As: title "Save Search Result as ", "*.htm" as the
// name and the filter, "htm" appended to a name without suffix, and a prompt before an
// existing file is replaced.
#pragma once

#include <QFileDialog>

namespace qv {

class SaveResultDialog final : public QFileDialog {
    Q_OBJECT
public:
    explicit SaveResultDialog(QWidget* parent = nullptr);

    // The chosen path; empty when the user cancelled.
    static QString askPath(QWidget* parent);

public slots:
    // A name with "*" or "?" (the "*.htm" the dialog opens with) is a pattern, not a
    // file: Save leaves the dialog open instead of writing a file of that name.
    void accept() override;
};

} // namespace qv
