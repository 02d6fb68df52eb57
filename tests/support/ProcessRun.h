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

// interruptAfterMs > 0 sends SIGINT to the program after that many milliseconds.
ProcessResult runProcess(const std::vector<std::string>& argv, int interruptAfterMs = 0);

} // namespace qv::test
