// What the program asks the desktop to do on its behalf: open a document or an
// address, start a program, print a file, mount a share. The frame and the application reach the desktop only
// through this interface, so tests can record the requests instead.
#pragma once

#include <QString>
#include <QUrl>

namespace qv {

class ShellLauncher {
public:
    virtual ~ShellLauncher() = default;
    // Opens a file or address with the program the desktop associates with it.
    virtual void open(const QUrl& target) = 0;
    // Starts a program, independent of this one.
    virtual void startProgram(const QString& program) = 0;
    // Prints a file with the desktop's print service. path is a local path or a
    // network name (\\HOST\share\a\file).
    virtual void print(const QString& path) = 0;
    // Mounts a share (smb://HOST/share) with the desktop's file-system service, so
    // that file managers and programs reach it as a folder.
    virtual void mountShare(const QUrl& share) = 0;
};

} // namespace qv
