// Opens documents with the desktop's associations, starts programs detached, prints
// with lp and mounts shares with gio.
#include "app/DesktopShellLauncher.h"

#include "platform/SmbClient.h"
#include "platform/SmbFileCopier.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThreadPool>

#include <cstring>

namespace qv {
namespace {

void printLocalFile(const QString& path, bool wait)
{
    const QStringList args{QStringLiteral("--"), path};
    if (!wait) {
        QProcess::startDetached(QStringLiteral("lp"), args);
        return;
    }
    // lp hands the file to the spooler before it returns, so the copy can go then.
    if (QProcess::execute(QStringLiteral("lp"), args) != 0)
        qWarning("lp could not print %s", qPrintable(path));
}

void printNetworkFile(const QString& networkName)
{
    QTemporaryDir folder;
    if (!folder.isValid()) {
        qWarning("no temporary folder to print %s", qPrintable(networkName));
        return;
    }
    // The file keeps its own name, so the print queue shows it.
    const QString local = folder.filePath(networkName.section(u'\\', -1));
    SmbClient client;
    const int rc = SmbFileCopier(client).copy(networkName.toStdString(), QDir::toNativeSeparators(local).toStdString());
    if (rc != 0) {
        qWarning("cannot print %s: %s", qPrintable(networkName), std::strerror(rc));
        return;
    }
    printLocalFile(local, true);
}

} // namespace

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
    if (!path.startsWith(QStringLiteral("\\\\"))) {
        printLocalFile(path, false);
        return;
    }
    QThreadPool::globalInstance()->start([path] { printNetworkFile(path); });
}

void DesktopShellLauncher::mountShare(const QUrl& share)
{
    QProcess::startDetached(QStringLiteral("gio"), {QStringLiteral("mount"), share.toString(QUrl::FullyEncoded)});
}

} // namespace qv
