#include "app/QvCommandLine.h"

#include <QDir>
#include <QFileInfo>

namespace qv {

const char* QvCommandLine::usage()
{
    return "Usage: qv [options] [PLACE]\n"
           "Opens the search window with PLACE chosen as the place to search.\n"
           "\n"
           "PLACE: an smb:// URL (smb://HOST/share/folder; smb:// the entire network),\n"
           "  \\\\HOST a computer, \\\\HOST\\share a share, deeper a folder of a share,\n"
           "  a workgroup name, \"ネットワーク全体\" the entire network, or a local folder\n"
           "  (a path, or a file:// URL; a file stands for its folder). A bare name is a\n"
           "  local folder when one of that name exists here, else a workgroup. The text\n"
           "  is taken literally; put \"--\" before a PLACE that begins with \"-\".\n"
           "  A place the window's tree shows is selected there.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n"
           "\n"
           "qv needs a graphical display; qvsearch runs the same search in a terminal.\n";
}

bool QvCommandLine::parse(const QStringList& args, const QString& currentDirectory, QvCommandLine& out, QString& error)
{
    QStringList places;
    bool optionsEnded = false;
    for (const QString& arg : args) {
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            places << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            out.help = true;
        } else if (arg == QLatin1String("-V") || arg == QLatin1String("--version")) {
            out.version = true;
        } else if (QFileInfo::exists(QDir(currentDirectory).absoluteFilePath(arg))) {
            places << arg;
        } else {
            error = QStringLiteral("unknown option '%1' (see qv --help; \"qv -- %1\" for a place of that name)").arg(arg);
            return false;
        }
    }
    if (!places.isEmpty()) {
        out.hasPlace = true;
        out.place = places.front();
        out.extraPlaces = places.size() > 1;
    }
    return true;
}

} // namespace qv
