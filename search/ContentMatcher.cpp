#include "search/ContentMatcher.h"

#include "platform/DocumentClient.h"
#include "platform/FileSystem.h"
#include "search/DocumentCounts.h"
#include "search/DocumentFeed.h"
#include "resources/StringTable.h"
#include "platform/CaseFold.h"
#include "results/SearchSink.h"
#include "search/StopRequest.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

constexpr std::size_t npos = static_cast<std::size_t>(-1);

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

std::size_t firstLineEnd(const char* data, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i)
        if (isLineEnd(data[i]))
            return i;
    return npos;
}

std::size_t lastLineEndBefore(const char* data, std::size_t pos)
{
    while (pos > 0) {
        --pos;
        if (isLineEnd(data[pos]))
            return pos;
    }
    return npos;
}

std::size_t find(const char* data, std::size_t size, const std::string& needle)
{
    if (needle.empty())
        return 0;
    const void* hit = memmem(data, size, needle.data(), needle.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : npos;
}

} // namespace

// Where a file's scan stands between two pieces.
struct ContentMatcher::Scan {
    // The best string found in a line that the pieces read so far have not ended;
    // strings earlier in the list may still turn up further along that line.
    int pending = -1;
    int found = -1;
};

ContentMatcher::ContentMatcher(FileSystem& fileSystem, SearchSink& sink, StopRequest& stop)
    : m_fileSystem(fileSystem), m_sink(sink), m_stop(stop)
{
}

ContentMatcher::~ContentMatcher() = default;

void ContentMatcher::setStrings(const std::vector<std::string>& strings)
{
    m_strings = strings;
    m_searchable.assign(strings.size(), true);
    m_longest = 0;
    m_asciiOnly = true;
    m_folding = Folding::None;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        for (char c : strings[i])
            if (static_cast<unsigned char>(c) >= 0x80)
                m_asciiOnly = false;
        m_folding = std::max(m_folding, foldingFor(strings[i]));
        if (strings[i].find_first_of("\r\n") != std::string::npos)
            m_searchable[i] = false;
        else
            m_longest = std::max(m_longest, strings[i].size());
    }
}

ContentMatcher::Folding ContentMatcher::foldingFor(std::string_view text)
{
    Folding folding = Folding::None;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = Utf8::sequenceLength(text, pos);
        const auto c = static_cast<unsigned char>(text[pos]);
        const bool valid = c < 0x80 || length > 1;
        if (valid && CaseFold::isLowerOfAnother(Utf8::decode(text, pos, length)))
            folding = std::max(folding, c < 0x80 ? Folding::AsciiLetters : Folding::Full);
        pos += length;
    }
    return folding;
}

// Looks at the folded window [0, windowSize); true when the answer is known.
bool ContentMatcher::scan(Scan& s, const char* data, std::size_t windowSize)
{
    if (s.pending >= 0) {
        // Only the rest of the pending line matters, and only earlier strings. The
        // bytes kept from the previous window hold no line end (bytesToKeep).
        const std::size_t lineEnd = firstLineEnd(data, 0, windowSize);
        const std::size_t limit = lineEnd == npos ? windowSize : lineEnd;
        for (int i = 0; i < s.pending; ++i)
            if (m_searchable[i] && find(data, limit, m_strings[i]) != npos) {
                s.pending = i;
                break;
            }
        if (lineEnd == npos)
            return false;
        s.found = s.pending;
        return true;
    }

    std::vector<std::size_t> positions(m_strings.size(), npos);
    std::size_t first = npos;
    for (std::size_t i = 0; i < m_strings.size(); ++i) {
        if (!m_searchable[i])
            continue;
        positions[i] = find(data, windowSize, m_strings[i]);
        first = std::min(first, positions[i]);
    }
    if (first == npos)
        return false;
    const std::size_t before = lastLineEndBefore(data, first);
    const std::size_t lineStart = before == npos ? 0 : before + 1;
    const std::size_t lineEnd = firstLineEnd(data, first, windowSize);
    const std::size_t limit = lineEnd == npos ? windowSize : lineEnd;
    int best = -1;
    for (std::size_t i = 0; i < m_strings.size() && best < 0; ++i)
        if (positions[i] != npos && positions[i] >= lineStart && positions[i] + m_strings[i].size() <= limit)
            best = static_cast<int>(i);
    if (lineEnd == npos) {
        s.pending = best;
        return false;
    }
    s.found = best;
    return true;
}

// A string straddling two windows needs at most (longest - 1) bytes of the first, and
// never bytes before a line end: keeping those would make the next window's first
// line end look like the end of the line that is still pending.
std::size_t ContentMatcher::bytesToKeep(const char* data, std::size_t windowSize) const
{
    const std::size_t keep = std::min(windowSize, m_longest > 0 ? m_longest - 1 : 0);
    const std::size_t from = windowSize - keep;
    const std::size_t lineEnd = lastLineEndBefore(data + from, keep);
    return lineEnd == npos ? keep : keep - lineEnd - 1;
}

void ContentMatcher::showStatus(const std::string& fullPath)
{
    std::string status(loadString(IDS_EXAMINE_FILE));
    status += fullPath;
    status += " ...";
    m_sink.showStatus(status);
}

bool ContentMatcher::match(const std::string& fullPath, std::string& matchText)
{
    showStatus(fullPath);
    const std::unique_ptr<FileReader> reader = m_fileSystem.openForReading(fullPath);
    return matchReader(reader.get(), matchText);
}

bool ContentMatcher::match(FolderListing& folder, const FileEntry& entry, const std::string& fullPath,
                           std::string& matchText)
{
    showStatus(fullPath);
    const std::unique_ptr<FileReader> reader = m_fileSystem.openEntry(folder, entry, fullPath);
    return matchReader(reader.get(), matchText);
}

void ContentMatcher::setDocuments(bool on, DocumentCounts* counts)
{
    m_documentsOn = on;
    m_documentCounts = counts;
}

void ContentMatcher::setDocumentReader(std::unique_ptr<DocumentReader> reader) { m_documents = std::move(reader); }

DocumentReader& ContentMatcher::documents()
{
    if (!m_documents) {
        auto client = std::make_unique<DocumentClient>();
        client->setCancel([this] { return m_stop.isRequested(); });
        m_documents = std::move(client);
    }
    return *m_documents;
}

bool ContentMatcher::matchReader(FileReader* reader, std::string& matchText)
{
    if (!reader)
        return false;
    if (!m_documentsOn)
        return searchText(*reader, matchText);
    DocumentFeed feed(*reader);
    if (!feed.readHead())
        return false;
    const DocumentKind kind = documentKindOf(feed.head());
    if (kind == DocumentKind::None)
        return searchText(feed, matchText);
    return matchDocument(kind, feed, matchText);
}

// The content types that tell an office document lie at the end of the zip, so the
// whole file goes to the reader before it can say. A zip that is no document is
// searched as its bytes, as before documents were read: that search runs on the
// bytes as they pass on their way to the reader. A PDF is never searched as bytes.
bool ContentMatcher::matchDocument(DocumentKind kind, DocumentFeed& feed, std::string& matchText)
{
    DocumentReader& reader = documents();
    if (!reader.begin(kind))
        return searchText(feed, matchText); // no helper to be had: the file as it is
    feed.forwardTo(reader);
    std::string rawMatch;
    const bool rawFound = kind == DocumentKind::Zip && searchText(feed, rawMatch);
    if (m_stop.isRequested() || !feed.drain())
        return false;
    auto asBytes = [&] {
        if (rawFound)
            matchText = rawMatch;
        return rawFound;
    };
    if (feed.overLimit() && kind == DocumentKind::Zip)
        return asBytes(); // too large to be told: a zip like any other
    const DocumentVerdict verdict = reader.finish(!feed.overLimit());
    switch (verdict) {
    case DocumentVerdict::Text: {
        if (searchText(reader.text(), matchText))
            return true;
        if (m_documentCounts && !m_stop.isRequested())
            m_documentCounts->count(reader.textVerdict());
        return false;
    }
    case DocumentVerdict::NotDocument:
    case DocumentVerdict::Unavailable:
        return asBytes();
    case DocumentVerdict::Cancelled:
        return false;
    default:
        if (m_documentCounts)
            m_documentCounts->count(verdict);
        return false;
    }
}

bool ContentMatcher::searchText(FileReader& reader, std::string& matchText)
{
    m_text.begin(reader, m_asciiOnly ? DecodedText::Form::AsciiOnly : DecodedText::Form::Utf8, m_longest);
    Scan s;
    for (;;) {
        const DecodedText::Step step = m_text.next();
        if (step == DecodedText::Step::Failed)
            return false;
        if (step == DecodedText::Step::End)
            return s.pending >= 0 && found(s.pending, matchText);
        const std::size_t fresh = m_text.freshFrom();
        if (m_folding == Folding::AsciiLetters)
            CaseFold::asciiToLowerInPlace(m_text.data() + fresh, m_text.size() - fresh);
        else if (m_folding == Folding::Full)
            CaseFold::toLowerInPlace(m_text.data() + fresh, m_text.size() - fresh);
        const Scan before = s;
        bool done = scan(s, m_text.data(), m_text.size());
        if ((done || s.pending >= 0) && m_text.settle()) {
            s = before;
            done = scan(s, m_text.data(), m_text.size());
        }
        if (done)
            return found(s.found, matchText);
        if (m_stop.shouldStop())
            return false;
        if (m_text.atEnd())
            return s.pending >= 0 && found(s.pending, matchText);
        m_text.settle();
        m_text.keep(bytesToKeep(m_text.data(), m_text.size()));
    }
}

bool ContentMatcher::found(int index, std::string& matchText) const
{
    matchText = m_strings[static_cast<std::size_t>(index)];
    return true;
}

} // namespace qv
