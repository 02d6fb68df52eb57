// The about box: the program's icon, name and version, and a line
// on what it is, with the address users write to.
#pragma once

#include <QDialog>

namespace qv {

class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // Where users write to; the mail command addresses it too.
    static QString contactAddress() { return QStringLiteral("quendle@example.org"); }
};

} // namespace qv
