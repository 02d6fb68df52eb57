// Whether a file contains one of the containing strings, compared without regard to case.
#pragma once

#include "platform/DocumentKind.h"
#include "search/DecodedText.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class DocumentFeed;
class DocumentReader;
class FileReader;
class FileSystem;
struct DocumentCounts;
class FolderListing;
struct FileEntry;
class SearchSink;
class StopRequest;

// The file is read in fixed-size pieces, so memory does not grow with the file, and
// searched as text in the encoding its first bytes tell (UTF-8, UTF-16, CP932 or
// EUC-JP: see DecodedText), so a string is found only as whole characters.
// Lines end at LF, at CR LF and at a lone CR; a string is found only inside one
// line, anywhere in it however long the line is, zero bytes included. The string
// reported is the first in list order among those in the first line holding any.
// With documents on, an office document or a PDF is searched by its text instead of
// its bytes (the qv-doc helper reads it), one line per paragraph, cell or text line.
class ContentMatcher final {
public:
    ContentMatcher(FileSystem& fileSystem, SearchSink& sink, StopRequest& stop);
    ~ContentMatcher();
    ContentMatcher(const ContentMatcher&) = delete;
    ContentMatcher& operator=(const ContentMatcher&) = delete;

    // Strings are already lower-cased; one may be empty (it occurs in every line).
    void setStrings(const std::vector<std::string>& strings);

    // Documents are read for their text when on (off until set); those given up are
    // counted. The helper starts with the first document.
    void setDocuments(bool on, DocumentCounts* counts);
    // The reader of documents, instead of the qv-doc helper (tests).
    void setDocumentReader(std::unique_ptr<DocumentReader> reader);

    // True when found; matchText is then the string found. False when the file
    // cannot be opened or read, holds none of the strings, or the stop request came.
    bool match(const std::string& fullPath, std::string& matchText);
    // The same for an entry of a listed folder, which the file system may open faster.
    bool match(FolderListing& folder, const FileEntry& entry, const std::string& fullPath, std::string& matchText);

    static constexpr std::size_t kChunkSize = DecodedText::kBlockSize;

    // The encoding the last file was searched in; none when it held no text that told.
    std::optional<TextEncoding> lastEncoding()
    {
        m_text.settle();
        return m_text.encoding();
    }

private:
    // None when no character of the strings is what another character folds to (kana,
    // kanji, digits), ASCII letters when those are the only such characters.
    enum class Folding { None, AsciiLetters, Full };
    struct Scan;
    bool scan(Scan& scan, const char* data, std::size_t windowSize);
    std::size_t bytesToKeep(const char* data, std::size_t windowSize) const;
    void showStatus(const std::string& fullPath);
    bool matchReader(FileReader* reader, std::string& matchText);
    bool searchText(FileReader& reader, std::string& matchText);
    bool matchDocument(DocumentKind kind, DocumentFeed& feed, std::string& matchText);
    DocumentReader& documents();
    bool found(int index, std::string& matchText) const;
    static Folding foldingFor(std::string_view text);

    FileSystem& m_fileSystem;
    SearchSink& m_sink;
    StopRequest& m_stop;
    std::vector<std::string> m_strings;
    std::vector<bool> m_searchable; // false for a string holding a line end: it cannot occur in a line
    std::size_t m_longest = 0;
    bool m_asciiOnly = true; // every string is ASCII: only ASCII characters are looked for
    // How much of the text must be folded for these strings.
    Folding m_folding = Folding::AsciiLetters;
    DecodedText m_text;
    bool m_documentsOn = false;
    DocumentCounts* m_documentCounts = nullptr;
    std::unique_ptr<DocumentReader> m_documents;
};

} // namespace qv
