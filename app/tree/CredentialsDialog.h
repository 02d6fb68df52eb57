// Asks for the account a refused share or folder needs: user name, password and
// domain, and whether to keep the password in the desktop keyring.
#pragma once

#include "platform/SmbProtocol.h"

#include <QDialog>

#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;

namespace qv {

struct CredentialAnswer {
    SmbCredentials account;
    bool remember = false; // keep it in the keyring too
};

// What the location tree asks when a server refuses it: the server's name and the
// place that was refused; nullopt when the user cancelled. Tests answer it themselves.
using CredentialPrompt = std::function<std::optional<CredentialAnswer>(const QString& server, const QString& place)>;

class CredentialsDialog final : public QDialog {
    Q_OBJECT
public:
    // The keep-password box is offered only when a keyring can take the password.
    CredentialsDialog(const QString& server, const QString& place, bool offerKeyring, QWidget* parent = nullptr);

    CredentialAnswer answer() const;

    // Shows the dialog modally; nullopt on Cancel.
    static std::optional<CredentialAnswer> ask(QWidget* parent, const QString& server, const QString& place,
                                               bool offerKeyring);

private:
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_domain = nullptr;
    QCheckBox* m_remember = nullptr;
    bool m_offerKeyring = false;
};

} // namespace qv
