// What the document helper may spend on one file before it gives the file up.
#pragma once

#include <cstdint>

namespace qv {

struct DocumentLimits {
    // Bytes of the file itself the helper takes (it keeps them in a temporary file).
    std::uint64_t fileBytes = 512ull << 20;
    // Bytes of the package's parts, decompressed, read in all (zip bombs).
    std::uint64_t uncompressedBytes = 256ull << 20;
    // Entries of the zip's central directory.
    std::uint32_t zipEntries = 10000;
    // Elements open at once in one XML part.
    std::uint32_t xmlDepth = 256;
    // Time the helper works on one file, from its last byte on.
    std::uint32_t milliseconds = 10000;

    friend bool operator==(const DocumentLimits&, const DocumentLimits&) = default;
};

} // namespace qv
