// qvsearch's exit statuses.
#pragma once

namespace qv {

enum ExitCode : int {
    ExitCompleted = 0, // the search ran to its end
    ExitStopped = 1,   // the search was stopped (Ctrl-C)
    ExitUsage = 2,     // bad usage; nothing was searched
    ExitReportFailed = 3, // the --report file could not be written
};

} // namespace qv
