// Where a report's bytes go: a file written safely, or a test's memory.
#pragma once

#include <string_view>

namespace qv {

class ReportOutput {
public:
    virtual ~ReportOutput() = default;
    // Takes the next bytes of the document; false when they could not be written,
    // after which the writer gives up.
    virtual bool write(std::string_view bytes) = 0;
};

} // namespace qv
