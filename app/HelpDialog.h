// The help box: points the user to the help page shipped with the program.
#pragma once

#include <QDialog>

namespace qv {

class HelpDialog final : public QDialog {
    Q_OBJECT
public:
    explicit HelpDialog(QWidget* parent = nullptr);
};

} // namespace qv
