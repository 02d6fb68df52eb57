// Runs a program as a user would and gathers what it printed and its exit status.
#pragma once

#include <string>
#include <vector>

namespace qv::test {

struct ProcessResult {
    int status = -1; // exit status; 128 + signal when killed
    std::string out;
    std::string err;
    double seconds = 0;
    int lines() const;
};

struct RunOptions {
    // > 0: SIGINT to the program after that many milliseconds.
    int interruptAfterMs = 0;
    // Where the program's standard output goes: a pipe that is read to its end, a
    // device that refuses every write (/dev/full), nowhere (closed), or a pipe whose
    // reader has gone before the program starts.
    enum class Output { Pipe, Full, Closed, ReaderGone };
    Output output = Output::Pipe;
    // The program starts with SIGPIPE ignored, as under a service manager.
    bool ignoreSigpipe = false;
    // Run by root: as the user nobody, so that file permissions hold for the program.
    bool asNobody = false;
    // "NAME=value" set for the program.
    std::vector<std::string> environment;
    // Where the program starts; empty: the test's own folder.
    std::string workingDirectory;
};

ProcessResult runProcess(const std::vector<std::string>& argv, const RunOptions& options);
// interruptAfterMs > 0 sends SIGINT to the program after that many milliseconds.
ProcessResult runProcess(const std::vector<std::string>& argv, int interruptAfterMs = 0);

} // namespace qv::test
