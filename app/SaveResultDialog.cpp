#include "app/SaveResultDialog.h"

#include <QFileInfo>

namespace qv {

SaveResultDialog::SaveResultDialog(QWidget* parent)
    : QFileDialog(parent, QStringLiteral("Save Search Result as "))
{
    setObjectName(QStringLiteral("saveResultDialog"));
    // The same dialog on every desktop, and one that tests can drive offscreen.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilter(QStringLiteral("*.htm"));
    setDefaultSuffix(QStringLiteral("htm"));
    selectFile(QStringLiteral("*.htm"));
}

QString SaveResultDialog::askPath(QWidget* parent)
{
    SaveResultDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}

void SaveResultDialog::accept()
{
    const QStringList chosen = selectedFiles();
    if (!chosen.isEmpty()) {
        const QString name = QFileInfo(chosen.constFirst()).fileName();
        if (name.contains(u'*') || name.contains(u'?'))
            return;
    }
    QFileDialog::accept();
}

} // namespace qv
