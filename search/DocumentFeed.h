// A file as the content match reads it when it may be a document: its first bytes,
// read ahead to tell its kind, then the rest; every byte read is also handed to the
// document reader (up to the reader's size limit), so that the file, even over SMB,
// is read only once.
#pragma once

#include "platform/FileReader.h"

#include <string>
#include <string_view>

namespace qv {

class DocumentReader;

class DocumentFeed final : public FileReader {
public:
    explicit DocumentFeed(FileReader& source) : m_source(source) {}

    // Reads the file's first bytes (up to kDocumentHeadSize, fewer at its end); false
    // on a read error.
    bool readHead();
    std::string_view head() const { return m_head; }

    // From now on every byte read goes to the reader too.
    void forwardTo(DocumentReader& reader) { m_reader = &reader; }

    std::int64_t read(char* buffer, std::size_t capacity) override;

    // Reads what is left of the file for the reader, stopping early once the file is
    // over the reader's limit or the reader failed; false on a read error.
    bool drain();

    // More bytes came than the reader takes: it was given only the first ones.
    bool overLimit() const { return m_overLimit; }

private:
    void forward(const char* data, std::size_t size);

    FileReader& m_source;
    std::string m_head;
    std::size_t m_headPos = 0;
    DocumentReader* m_reader = nullptr;
    std::uint64_t m_forwarded = 0;
    bool m_overLimit = false;
    bool m_readerFailed = false;
};

} // namespace qv
