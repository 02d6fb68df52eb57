// The share is mounted by the desktop's file-system service; this dialog only names it.
#include "app/MapDriveDialog.h"

#include "platform/SmbUrl.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace qv {

MapDriveDialog::MapDriveDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("mapDriveDialog"));
    setWindowTitle(QStringLiteral("ネットワーク ドライブの割り当て"));
    setModal(true);

    m_share = new QLineEdit(this);
    m_share->setObjectName(QStringLiteral("shareBox"));
    m_share->setPlaceholderText(QStringLiteral("\\\\server\\share"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("フォルダ(&O):"), m_share);
    auto* example = new QLabel(QStringLiteral("例: \\\\server\\share"), this);
    example->setTextFormat(Qt::PlainText);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setEnabled(false);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_share, &QLineEdit::textChanged, this, [this] { m_ok->setEnabled(!shareUrl(share()).isEmpty()); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(example);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

QString MapDriveDialog::share() const
{
    return m_share->text().trimmed();
}

QUrl MapDriveDialog::shareUrl(const QString& networkName)
{
    const auto place = SmbUrl::fromNetworkName(networkName.toStdString());
    if (!place || place->level() != SmbUrl::Level::Share)
        return {};
    return QUrl(QString::fromStdString(place->url()), QUrl::StrictMode);
}

QUrl MapDriveDialog::ask(QWidget* parent)
{
    MapDriveDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted ? shareUrl(dialog.share()) : QUrl();
}

} // namespace qv
