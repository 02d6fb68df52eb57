// The reading of office documents and PDFs as the content match sees it: a file's
// bytes go in as they are read, its text comes out, one line per paragraph, table
// cell or PDF text line.
#pragma once

#include "platform/DocumentKind.h"
#include "platform/FileReader.h"

#include <cstddef>

namespace qv {

enum class DocumentVerdict : std::uint8_t {
    Text = 0,    // a document: its text follows
    NotDocument, // no document of a known kind (a plain zip archive, say)
    OverLimit,   // given up: too large, too deep, too many entries or too slow
    Encrypted,   // a document whose text is encrypted
    Damaged,     // a document that cannot be read (or that made the reader fail)
    Unavailable, // no reader could be started; the file is searched as it is
    Cancelled,   // the search was stopped meanwhile
};

class DocumentReader {
public:
    virtual ~DocumentReader() = default;

    // Starts a file whose first bytes say it may be of the kind; false when no
    // reader can take it (the verdict is then Unavailable).
    virtual bool begin(DocumentKind kind) = 0;
    // The file's bytes, in order, as many pieces as there are.
    virtual bool feed(const char* data, std::size_t size) = 0;
    // After the last piece: what the file is. `complete` is false when the caller
    // stopped feeding before the end (the file was over the size limit).
    virtual DocumentVerdict finish(bool complete) = 0;
    // After Text: the text, UTF-8, lines ended by LF. A read of -1 means the reading
    // failed on the way; textVerdict() then says why.
    virtual FileReader& text() = 0;
    virtual DocumentVerdict textVerdict() const = 0;
    // The most bytes of a file feed() takes; the caller stops feeding past them.
    virtual std::uint64_t fileLimit() const = 0;
};

} // namespace qv
