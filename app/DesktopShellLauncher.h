// The launcher of the running program: xdg-open through QDesktopServices, detached
// processes for programs, CUPS lp for printing, gio for mounting shares. Results are
// not examined, as the callers expect; a print that cannot even be handed to the
// print service is noted on standard error.
#pragma once

#include "platform/ShellLauncher.h"

namespace qv {

class DesktopShellLauncher final : public ShellLauncher {
public:
    void open(const QUrl& target) override;
    void startProgram(const QString& program) override;
    // A file of a share is copied to a temporary file first, off the user-interface
    // thread (a silent server takes a whole timeout), and printed from there.
    void print(const QString& path) override;
    void mountShare(const QUrl& share) override;
};

} // namespace qv
