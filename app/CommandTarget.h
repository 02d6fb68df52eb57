// Something that can handle a command identifier. The frame offers each command
// first to itself, then to the document, then to the application, the order
// of a document/view framework's command routing.
#pragma once

namespace qv {

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // True when the command was handled here.
    virtual bool onCommand(int id) = 0;
};

} // namespace qv
