// Starting and finding the program's helper processes (qv-smb, qv-doc): each is a
// child with two pipes, a process group of its own and a clean signal state.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace qv {

class HelperProcess final {
public:
    struct Pipes {
        int toHelper = -1;   // the helper's standard input
        int fromHelper = -1; // its standard output
        pid_t pid = 0;
    };

    // Starts the executable with its standard input and output on two new pipes
    // (close-on-exec on this side); 0 or an errno value.
    static int spawn(const std::string& path, Pipes& pipes);

    // The environment variable when set; otherwise the first executable `name` beside
    // the running executable, in ../platform and ../../platform from it (the build
    // tree, for programs and for tests), or in ../libexec/quendle (installed). When
    // none is there, the path beside the executable: starting it fails with ENOENT.
    static std::string find(const char* environmentVariable, std::string_view name);

    // Runs a write to a helper (which gives 0 or an errno value) with SIGPIPE held
    // back in this thread: a helper that has died makes the write fail with EPIPE
    // without changing the program's disposition.
    static int withoutSigpipe(const std::function<int()>& write);
};

} // namespace qv
