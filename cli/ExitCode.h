// qvsearch's exit statuses.
#pragma once

namespace qv {

enum ExitCode : int {
    ExitCompleted = 0,    // the search ran to its end
    ExitStopped = 1,      // the search was stopped (Ctrl-C, or the reader of the rows went)
    ExitUsage = 2,        // bad usage; nothing was searched
    ExitReportFailed = 3, // the --report file could not be written
    ExitPlaceFailed = 4,  // the place could not be searched at all, or an SMB helper could not be started
    ExitOutputFailed = 5, // the rows could not be written to standard output
    ExitSearchFailed = 6, // an error ended the search (memory running out)
};

} // namespace qv
