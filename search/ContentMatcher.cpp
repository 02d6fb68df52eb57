#include "search/ContentMatcher.h"

#include "platform/FileSystem.h"
#include "resources/StringTable.h"
#include "search/CaseFold.h"
#include "search/SearchSink.h"
#include "search/StopRequest.h"

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
    for (std::size_t i = 0; i < strings.size(); ++i) {
        for (char c : strings[i])
            if (static_cast<unsigned char>(c) >= 0x80)
                m_asciiOnly = false;
        if (strings[i].find_first_of("\r\n") != std::string::npos)
            m_searchable[i] = false;
        else
            m_longest = std::max(m_longest, strings[i].size());
    }
    m_buffer.assign(kChunkSize + m_longest + 8, 0);
}

// Looks at the folded window [0, windowSize); true when the answer is known.
bool ContentMatcher::scan(Scan& s, std::size_t windowSize)
{
    const char* data = m_buffer.data();
    if (s.pending >= 0) {
        // Only the rest of the pending line matters, and only earlier strings.
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

bool ContentMatcher::matchReader(FileReader* reader, std::string& matchText)
{
    if (!reader)
        return false;
    if (m_buffer.empty())
        setStrings(m_strings);

    // The buffer holds: bytes already searched, kept so that a string straddling
    // two pieces is still seen; then bytes not yet folded because the previous
    // piece cut a character in two; then the new piece.
    Scan s;
    char* data = m_buffer.data();
    std::size_t kept = 0;
    std::size_t unfolded = 0;
    for (;;) {
        const std::int64_t n = reader->read(data + kept + unfolded, kChunkSize);
        if (n < 0)
            return false;
        if (n == 0) {
            if (unfolded > 0) {
                // The file ends inside a character: its bytes stand as they are.
                const std::size_t window = kept + unfolded;
                kept = window;
                unfolded = 0;
                if (scan(s, window))
                    break;
            }
            if (s.pending >= 0) {
                s.found = s.pending;
                break;
            }
            return false;
        }
        const std::size_t end = kept + unfolded + static_cast<std::size_t>(n);
        const std::size_t tail = CaseFold::incompleteTail(data + kept, end - kept);
        const std::size_t window = end - tail;
        if (m_asciiOnly)
            CaseFold::asciiToLowerInPlace(data + kept, window - kept);
        else
            CaseFold::toLowerInPlace(data + kept, window - kept);
        if (scan(s, window))
            break;
        if (m_stop.shouldStop())
            return false;
        // In a pending line only its own bytes matter, and they hold no line end.
        const std::size_t keep = std::min(window, m_longest > 0 ? m_longest - 1 : 0);
        std::memmove(data, data + window - keep, keep + tail);
        kept = keep;
        unfolded = tail;
    }
    matchText = m_strings[static_cast<std::size_t>(s.found)];
    return true;
}

} // namespace qv
