// The encodings the content match reads a file's text in.
#pragma once

namespace qv {

enum class TextEncoding {
    Utf8,
    Utf16Le,
    Utf16Be,
    Cp932, // Shift-JIS with the Microsoft extensions, as Windows writes it
    EucJp,
};

// The name glibc's iconv knows the encoding by. EUC-JP is read with the Microsoft
// extensions (circled digits and the like), which plain EUC-JP lacks.
inline const char* iconvName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf16Le: return "UTF-16LE";
    case TextEncoding::Utf16Be: return "UTF-16BE";
    case TextEncoding::Cp932: return "CP932";
    case TextEncoding::EucJp: return "EUC-JP-MS";
    case TextEncoding::Utf8:
    default: return "UTF-8";
    }
}

} // namespace qv
