// Opens documents with the desktop's associations and starts programs detached.
#include "app/DesktopShellLauncher.h"

#include <QDesktopServices>
#include <QProcess>

namespace qv {

void DesktopShellLauncher::open(const QUrl& target)
{
    QDesktopServices::openUrl(target);
}

void DesktopShellLauncher::startProgram(const QString& program)
{
    QProcess::startDetached(program, {});
}

void DesktopShellLauncher::print(const QString& path)
{
    QProcess::startDetached(QStringLiteral("lp"), {QStringLiteral("--"), path});
}

} // namespace qv
