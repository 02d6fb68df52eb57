#include "cli/RowPrinter.h"

#include "results/JsonLinesExport.h"
#include "results/RowPath.h"

#include <array>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <locale.h>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qv {
namespace {

void appendTsvCell(std::string& out, const std::string& cell)
{
    // The backslash is escaped too, so that "\t" in a line is always a tab of the cell.
    // Cells rarely hold any of them: copy runs between them whole.
    std::size_t start = 0;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        const char c = cell[i];
        if (c != '\t' && c != '\r' && c != '\n' && c != '\\')
            continue;
        out.append(cell, start, i - start);
        out += c == '\t' ? "\\t" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\\\";
        start = i + 1;
    }
    out.append(cell, start, std::string::npos);
}

// How each kind of place is counted at the end: what could not be done with it, in
// the singular and the plural.
struct KindWords {
    PlaceFailure::Kind kind;
    const char* one;
    const char* many;
    const char* verb; // "could not <verb> PLACE"
    const char* past; // "N places could not be <past>"
};

constexpr KindWords kKindWords[] = {
    {PlaceFailure::Kind::Folder, "folder", "folders", "read", "read"},
    {PlaceFailure::Kind::Share, "share", "shares", "read", "read"},
    {PlaceFailure::Kind::Computer, "computer", "computers", "reach", "reached"},
    {PlaceFailure::Kind::Workgroup, "workgroup", "workgroups", "list", "listed"},
    {PlaceFailure::Kind::Network, "network list", "network lists", "read", "read"},
};

const KindWords& wordsFor(PlaceFailure::Kind kind)
{
    for (const KindWords& words : kKindWords)
        if (words.kind == kind)
            return words;
    return kKindWords[0];
}

// Sets the thread's character type to UTF-8 while it lives, whatever locale the
// program runs in: status texts are UTF-8, and glibc knows their widths.
class Utf8CharacterType final {
public:
    Utf8CharacterType()
    {
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        if (utf8)
            m_previous = uselocale(utf8);
    }
    ~Utf8CharacterType()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    Utf8CharacterType(const Utf8CharacterType&) = delete;
    Utf8CharacterType& operator=(const Utf8CharacterType&) = delete;

private:
    locale_t m_previous = nullptr;
};

} // namespace

std::string RowPrinter::fitToColumns(const std::string& text, int columns)
{
    static constexpr std::string_view kEllipsis = "…"; // one column
    const Utf8CharacterType utf8;
    // Each character as shown with its width; a cut falls between characters only.
    std::string out;
    int used = 0;
    std::size_t fitted = 0; // bytes of out that leave a column for the ellipsis
    int fittedUsed = 0;
    std::mbstate_t state{};
    for (std::size_t i = 0; i < text.size();) {
        wchar_t wide = 0;
        std::size_t length = std::mbrtowc(&wide, text.data() + i, text.size() - i, &state);
        std::string_view shown;
        int width = 1;
        if (length == static_cast<std::size_t>(-1) || length == static_cast<std::size_t>(-2) || length == 0) {
            state = {};
            length = 1;
            shown = "?";
        } else {
            width = wcwidth(wide);
            shown = std::string_view(text).substr(i, length);
            if (width < 0) {
                width = 1;
                shown = "?";
            }
        }
        i += length;
        if (used + width > columns) {
            out.resize(fitted);
            if (fittedUsed + 1 <= columns)
                out += kEllipsis;
            return out;
        }
        out += shown;
        used += width;
        if (used + 1 <= columns) {
            fitted = out.size();
            fittedUsed = used;
        }
    }
    return out;
}

int RowPrinter::statusColumns() const
{
    winsize size{};
    if (ioctl(fileno(m_status), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

RowPrinter::RowPrinter(std::FILE* rows, std::FILE* statusStream, QvSearchOptions::Format format, bool showProgress,
                       bool verbose)
    : m_rows(rows), m_status(statusStream), m_format(format), m_showProgress(showProgress), m_verbose(verbose)
{
}

std::vector<std::string> RowPrinter::failureSummary(const std::vector<PlaceFailure>& failures)
{
    std::vector<std::string> lines;
    for (const KindWords& words : kKindWords) {
        long long count = 0;
        for (const PlaceFailure& failure : failures)
            count += failure.kind == words.kind && !failure.installation ? 1 : 0;
        if (count > 0)
            lines.push_back(std::to_string(count) + " " + (count == 1 ? words.one : words.many) + " could not be " +
                            words.past);
    }
    return lines;
}

std::string RowPrinter::tsvLine(const ResultRow& row)
{
    // Name and path as their real bytes: a script reading the rows gets the file's
    // own name back, whatever its encoding.
    const RowBytes bytes = rowBytes(row);
    std::string line;
    for (int c = 0; c < kColumnCount; ++c) {
        if (c > 0)
            line.push_back('\t');
        appendTsvCell(line, c == static_cast<int>(Column::Name)   ? bytes.name
                            : c == static_cast<int>(Column::Path) ? bytes.folder
                                                                  : row.cells[c]);
    }
    line.push_back('\n');
    return line;
}

std::string RowPrinter::jsonLine(const ResultRow& row)
{
    // The window's JSON Lines export writes the same lines.
    return JsonLinesExport::line(row);
}

std::string RowPrinter::fullPathBytes(const ResultRow& row)
{
    if (!row.sourcePath.empty())
        return row.sourcePath;
    if (std::optional<std::string> network = rowPath(row))
        return *network;
    const std::string& folder = row.cell(Column::Path);
    const std::string& name = row.cell(Column::Name);
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

void RowPrinter::addRow(ResultRow row)
{
    std::string line;
    switch (m_format) {
    case QvSearchOptions::Format::Tsv: line = tsvLine(row); break;
    case QvSearchOptions::Format::Jsonl: line = jsonLine(row); break;
    case QvSearchOptions::Format::NullPaths:
        line = fullPathBytes(row);
        line.push_back('\0');
        break;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_writeError != 0)
            return;
        errno = 0;
        if (std::fwrite(line.data(), 1, line.size(), m_rows) == line.size())
            return;
        m_writeError = errno != 0 ? errno : EIO;
    }
    // Outside the lock: the stop may kill helpers, and a row may be on its way meanwhile.
    if (m_onWriteFailure)
        m_onWriteFailure();
}

void RowPrinter::placeFailed(const PlaceFailure& failure)
{
    std::lock_guard lock(m_mutex);
    if (failure.searchPlace || failure.installation) {
        // A helper that cannot be started fails every computer alike: one line says it.
        if (!m_notSearched)
            m_notSearched = failure;
        return;
    }
    m_inside.push_back(failure);
}

int RowPrinter::writeError() const
{
    std::lock_guard lock(m_mutex);
    return m_writeError;
}

bool RowPrinter::placeNotSearched() const
{
    std::lock_guard lock(m_mutex);
    return m_notSearched.has_value();
}

void RowPrinter::showStatus(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    m_lastStatus = text;
    if (!m_showProgress)
        return;
    // A terminal cannot take a line per file: show a status at most ten times a second.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastShown < std::chrono::milliseconds(100))
        return;
    m_lastShown = now;
    // One column is left free: a line that fills the last one wraps on some terminals,
    // and the next "\r" would then leave the first part behind.
    std::string_view shown = text;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.remove_suffix(1);
    const std::string line = fitToColumns(std::string(shown), statusColumns() - 1);
    std::fprintf(m_status, "\r%s\x1b[K", line.c_str());
    std::fflush(m_status);
}

void RowPrinter::finish(bool showCount)
{
    std::lock_guard lock(m_mutex);
    if (m_writeError == 0) {
        errno = 0;
        if (std::fflush(m_rows) != 0 || std::ferror(m_rows))
            m_writeError = errno != 0 ? errno : EIO;
    }
    if (m_showProgress)
        std::fputs("\r\x1b[K", m_status);
    if (m_writeError != 0) {
        // A reader that closed the pipe (| head) has what it wanted: a quiet end.
        if (m_writeError != EPIPE)
            std::fprintf(m_status, "qvsearch: cannot write the rows to standard output: %s\n",
                         std::strerror(m_writeError));
        std::fflush(m_status);
        return;
    }
    if (m_verbose)
        for (const PlaceFailure& failure : m_inside)
            std::fprintf(m_status, "qvsearch: could not %s %s: %s\n", wordsFor(failure.kind).verb,
                         failure.place.c_str(), failure.reason.c_str());
    for (const std::string& line : failureSummary(m_inside))
        std::fprintf(m_status, "%s\n", line.c_str());
    if (m_notSearched)
        std::fprintf(m_status, "qvsearch: cannot search %s: %s\n", m_notSearched->place.c_str(),
                     m_notSearched->reason.c_str());
    if (showCount)
        std::fprintf(m_status, "%s\n", m_lastStatus.c_str());
    std::fflush(m_status);
}

} // namespace qv
