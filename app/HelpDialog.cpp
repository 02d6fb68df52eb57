// Dialog 163, laid out from its template.
#include "app/HelpDialog.h"

#include "app/DialogUnits.h"
#include "resources/ResourceIcon.h"

#include <QLabel>
#include <QPushButton>

namespace qv {

HelpDialog::HelpDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("helpBox"));
    setWindowTitle(QStringLiteral("Help"));
    setModal(true);
    const DialogUnits du(font());
    setFixedSize(du.size(180, 61));

    auto* text = new QLabel(QStringLiteral("このアプリケーションといっしょに配布されるhelp.htmを見てください"), this);
    text->setObjectName(QStringLiteral("helpText"));
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setGeometry(du.rect(7, 7, 103, 36));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon128"));
    icon->setPixmap(resourceIcon(ResourceIconId::Program).pixmap(32, 32));
    icon->move(du.x(142), du.y(7));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    ok->setGeometry(du.rect(123, 40, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace qv
