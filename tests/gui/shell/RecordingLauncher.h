// A launcher that records what the window asks the desktop to do.
#pragma once

#include "app/ShellLauncher.h"

#include <QStringList>

namespace qv {

class RecordingLauncher final : public ShellLauncher {
public:
    void open(const QUrl& target) override { opened << target.toString(); }
    void startProgram(const QString& program) override { started << program; }

    QStringList opened;
    QStringList started;
};

} // namespace qv
