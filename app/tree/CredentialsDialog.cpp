#include "app/tree/CredentialsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

CredentialsDialog::CredentialsDialog(const QString& server, const QString& place, bool offerKeyring, QWidget* parent)
    : QDialog(parent), m_offerKeyring(offerKeyring)
{
    setObjectName(QStringLiteral("credentialsDialog"));
    setWindowTitle(QStringLiteral("ネットワーク パスワードの入力"));
    setModal(true);

    auto* message = new QLabel(QStringLiteral("%1 に接続するには、%2 のユーザー名とパスワードが必要です。").arg(place, server), this);
    message->setObjectName(QStringLiteral("message"));
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);

    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("user"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_domain = new QLineEdit(this);
    m_domain->setObjectName(QStringLiteral("domain"));
    m_remember = new QCheckBox(QStringLiteral("パスワードを保存する"), this);
    m_remember->setObjectName(QStringLiteral("remember"));
    m_remember->setVisible(offerKeyring);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ユーザー名:"), m_user);
    form->addRow(QStringLiteral("パスワード:"), m_password);
    form->addRow(QStringLiteral("ドメイン:"), m_domain);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message);
    layout->addLayout(form);
    layout->addWidget(m_remember);
    layout->addWidget(buttons);
    m_user->setFocus();
}

CredentialAnswer CredentialsDialog::answer() const
{
    CredentialAnswer answer;
    answer.account.user = m_user->text().toStdString();
    answer.account.password = m_password->text().toStdString();
    answer.account.domain = m_domain->text().toStdString();
    answer.remember = m_offerKeyring && m_remember->isChecked();
    return answer;
}

std::optional<CredentialAnswer> CredentialsDialog::ask(QWidget* parent, const QString& server, const QString& place,
                                                       bool offerKeyring)
{
    CredentialsDialog dialog(server, place, offerKeyring, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.answer();
}

} // namespace qv
