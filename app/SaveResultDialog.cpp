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
    // The report first; then the same rows for other programs: CSV for spreadsheets,
    // JSON Lines as qvsearch --format jsonl writes them. The chosen name's suffix
    // decides what is written.
    setNameFilters({QStringLiteral("*.htm"), QStringLiteral("*.csv"), QStringLiteral("*.jsonl")});
    setDefaultSuffix(QStringLiteral("htm"));
    selectFile(QStringLiteral("*.htm"));
    connect(this, &QFileDialog::filterSelected, this, [this](const QString& filter) {
        const QString suffix = filter.mid(2);
        setDefaultSuffix(suffix);
        const QStringList chosen = selectedFiles();
        const QString name = chosen.isEmpty() ? QString() : QFileInfo(chosen.constFirst()).fileName();
        if (name.isEmpty() || name.startsWith(u'*'))
            selectFile(filter);
    });
}

SaveResultDialog::Format SaveResultDialog::formatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return Format::Csv;
    if (suffix == QLatin1String("jsonl"))
        return Format::JsonLines;
    return Format::Html;
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
