// The standard descriptors of a helper process (qv-smb, qv-doc): the protocol pipes
// the client gave it as stdin and stdout move to descriptors of their own, so that
// nothing a library prints can land in the middle of a reply.
#pragma once

namespace qv {

class HelperStdio final {
public:
    // Moves the pipes to `in` and `out` (close-on-exec), points stdout at stderr and
    // stdin at /dev/null; false when the descriptors cannot be had.
    static bool takeProtocolPipes(int& in, int& out);
    // Points stdout and stderr at /dev/null: libraries print even when nobody asked.
    static void silence();
};

} // namespace qv
