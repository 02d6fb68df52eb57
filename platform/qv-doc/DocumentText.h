// The text of one document in the helper, made a piece at a time as the search asks
// for it, so that a string found early ends the work on the file.
#pragma once

#include "platform/DocumentReader.h"

#include <string>

namespace qv {

class DocumentText {
public:
    virtual ~DocumentText() = default;
    // Appends text to out until it holds at least `most` bytes or the document has no
    // more (ended is then set). Text, or the reason the reading stopped.
    virtual DocumentVerdict produce(std::string& out, std::size_t most, bool& ended) = 0;
};

} // namespace qv
