// Dialog 100, laid out from its template.
#include "app/AboutDialog.h"

#include "app/DialogUnits.h"
#include "resources/ResourceIcon.h"

#include <QLabel>
#include <QPushButton>

namespace qv {

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("Quendle　について"));
    setModal(true);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 10));
    const DialogUnits du(font());
    setFixedSize(du.size(248, 55));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon128"));
    icon->setPixmap(resourceIcon(ResourceIconId::Program).pixmap(32, 32));
    icon->move(du.x(7), du.y(10));

    auto* name = new QLabel(QStringLiteral("Quendle 1.0"), this);
    name->setObjectName(QStringLiteral("versionText"));
    name->setTextFormat(Qt::PlainText); // shown as it is, "&" included
    name->setGeometry(du.rect(36, 10, 144, 8));

    auto* about = new QLabel(QStringLiteral("SMB ネットワークのファイル検索ツール\n%1").arg(AboutDialog::contactAddress()), this);
    about->setObjectName(QStringLiteral("aboutText"));
    about->setTextFormat(Qt::PlainText);
    about->setGeometry(du.rect(35, 22, 148, 16));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    ok->setGeometry(du.rect(190, 16, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace qv
