// qv's command line: --help, --version and one PLACE, read before any window exists
// (Qt's own options are not taken: a place such as "-style" stays a place).
#pragma once

#include <QString>
#include <QStringList>

namespace qv {

struct QvCommandLine {
    bool help = false;
    bool version = false;
    bool hasPlace = false;
    QString place;
    // More than one place was given; the first is opened.
    bool extraPlaces = false;

    // args without the program name. A "-" argument that is no option is a place
    // when it names an existing local path, else an error; everything after "--" is
    // a place. On bad usage returns false and sets error to a one-line message.
    static bool parse(const QStringList& args, const QString& currentDirectory, QvCommandLine& out, QString& error);

    static const char* usage();
};

} // namespace qv
