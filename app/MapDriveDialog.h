// The connect-network-drive dialog: asks for a share's network name (\\HOST\share).
// OK is offered only for a text that names a share.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace qv {

class MapDriveDialog final : public QDialog {
    Q_OBJECT
public:
    explicit MapDriveDialog(QWidget* parent = nullptr);

    // The share as typed, less surrounding blanks.
    QString share() const;
    // smb://HOST/share for a share's network name; an empty URL for any other text.
    static QUrl shareUrl(const QString& networkName);

    // Shows the dialog; the chosen share's URL, or an empty URL after Cancel.
    static QUrl ask(QWidget* parent);

private:
    QLineEdit* m_share = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace qv
