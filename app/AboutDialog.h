// The about box (dialog 100): the program's icon, name and version, and a line
// on what it is.
#pragma once

#include <QDialog>

namespace qv {

class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace qv
