// The launcher of the running program: xdg-open through QDesktopServices, detached
// processes for programs. Results are not examined, as the callers expect.
#pragma once

#include "platform/ShellLauncher.h"

namespace qv {

class DesktopShellLauncher final : public ShellLauncher {
public:
    void open(const QUrl& target) override;
    void startProgram(const QString& program) override;
    void print(const QString& path) override;
};

} // namespace qv
