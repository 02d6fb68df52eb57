#include "app/StartPlace.h"

#include "platform/SmbUrl.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace qv {
namespace {

QString text(int id)
{
    const std::string_view s = loadString(id);
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

StartPlace StartPlace::fromArgument(const QString& argument, const QString& currentDirectory)
{
    StartPlace start;
    const auto notFound = [&](const QString& shown) { start.m_problem = text(IDS_PLACE_NOT_FOUND) + shown; };

    if (argument.isEmpty() || argument == text(IDS_ENTIRE_NETWORK)) {
        start.m_place = SearchPlace::fromText(std::string(loadString(IDS_ENTIRE_NETWORK)));
        return start;
    }
    if (argument.startsWith(QLatin1String("smb:"), Qt::CaseInsensitive)) {
        // The URL's scheme in any case; SmbUrl reads the lower-case one.
        const QByteArray url = "smb:" + argument.mid(4).toUtf8();
        const auto parsed = SmbUrl::fromUrl(url.toStdString(), SmbUrl::Level::Computer);
        if (!parsed) {
            notFound(argument);
            start.m_place = SearchPlace::fromText(std::string(loadString(IDS_ENTIRE_NETWORK)));
            return start;
        }
        if (parsed->level() == SmbUrl::Level::Network) {
            start.m_place = SearchPlace::fromText(std::string(loadString(IDS_ENTIRE_NETWORK)));
            return start;
        }
        if (parsed->level() == SmbUrl::Level::Computer && !SmbUrl::isAddressName(parsed->server()))
            start.m_workgroup = QString::fromStdString(parsed->server());
        start.m_place = SearchPlace::fromText(parsed->networkName());
        return start;
    }

    QString local;
    const QUrl url(argument, QUrl::StrictMode);
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) && url.isValid() && url.isLocalFile()) {
        local = url.toLocalFile();
    } else if (argument.startsWith(QLatin1String("\\\\"))) {
        start.m_place = SearchPlace::fromText(argument.toStdString());
        return start;
    } else {
        const QString absolute = QDir(currentDirectory).absoluteFilePath(argument);
        const bool looksLocal = argument.contains(QLatin1Char('/')) || argument.startsWith(QLatin1Char('.'));
        if (!looksLocal && !QFileInfo::exists(absolute)) {
            start.m_place = SearchPlace::fromText(argument.toStdString()); // a workgroup
            return start;
        }
        local = absolute;
    }
    QString folder = QDir::cleanPath(QDir(currentDirectory).absoluteFilePath(local));
    const QFileInfo info(folder);
    if (!info.exists())
        notFound(folder);
    else if (!info.isDir())
        folder = info.absolutePath(); // a file: the folder that holds it
    start.m_place = SearchPlace::fromText(folder.toStdString());
    return start;
}

} // namespace qv
