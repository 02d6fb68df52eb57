// Something that can handle a command identifier. The frame offers each command
// first to itself, then to the document, then to the application, the order in
// which the original command routing went.
#pragma once

namespace qv {

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // True when the command was handled here.
    virtual bool onCommand(int id) = 0;
};

} // namespace qv
