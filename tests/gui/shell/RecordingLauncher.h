// A launcher that records what the window asks the desktop to do.
#pragma once

#include "platform/ShellLauncher.h"

#include <QStringList>

namespace qv {

class RecordingLauncher final : public ShellLauncher {
public:
    void open(const QUrl& target) override { opened << target.toString(); }
    void startProgram(const QString& program) override { started << program; }
    void print(const QString& path) override { printed << path; }
    void mountShare(const QUrl& share) override { mounted << share.toString(); }

    QStringList opened;
    QStringList started;
    QStringList printed;
    QStringList mounted;
};

} // namespace qv
