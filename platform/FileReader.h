// A file opened for sequential reading; closed when destroyed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

class FileReader {
public:
    virtual ~FileReader() = default;
    // Bytes read into the buffer; 0 at the end of the file, -1 on a read error.
    virtual std::int64_t read(char* buffer, std::size_t capacity) = 0;
};

} // namespace qv
