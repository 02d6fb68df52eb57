// What a file's first bytes say it may be: a zip package (an office document, if
// its content types say so) or a PDF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv {

enum class DocumentKind : std::uint8_t { None = 0, Zip = 1, Pdf = 2 };

// Bytes of a file's start enough to tell: PDF readers accept the "%PDF-" header
// anywhere in the first kilobyte.
constexpr std::size_t kDocumentHeadSize = 1024;

inline DocumentKind documentKindOf(std::string_view head)
{
    if (head.substr(0, 4) == std::string_view("PK\x03\x04", 4))
        return DocumentKind::Zip;
    if (head.substr(0, kDocumentHeadSize).find("%PDF-") != std::string_view::npos)
        return DocumentKind::Pdf;
    return DocumentKind::None;
}

} // namespace qv
