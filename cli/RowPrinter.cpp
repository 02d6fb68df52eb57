#include "cli/RowPrinter.h"

#include "results/JsonLinesExport.h"

#include <array>
#include <string_view>

namespace qv {
namespace {

void appendTsvCell(std::string& out, const std::string& cell)
{
    // Cells rarely hold a tab or a line end: copy runs between them whole.
    std::size_t start = 0;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        const char c = cell[i];
        if (c != '\t' && c != '\r' && c != '\n')
            continue;
        out.append(cell, start, i - start);
        out += c == '\t' ? "\\t" : c == '\r' ? "\\r" : "\\n";
        start = i + 1;
    }
    out.append(cell, start, std::string::npos);
}

} // namespace

RowPrinter::RowPrinter(std::FILE* rows, std::FILE* statusStream, QvSearchOptions::Format format, bool showProgress)
    : m_rows(rows), m_status(statusStream), m_format(format), m_showProgress(showProgress)
{
}

std::string RowPrinter::tsvLine(const ResultRow& row)
{
    std::string line;
    for (int c = 0; c < kColumnCount; ++c) {
        if (c > 0)
            line.push_back('\t');
        appendTsvCell(line, row.cells[c]);
    }
    line.push_back('\n');
    return line;
}

std::string RowPrinter::jsonLine(const ResultRow& row)
{
    // The window's JSON Lines export writes the same lines.
    return JsonLinesExport::line(row);
}

void RowPrinter::addRow(ResultRow row)
{
    const std::string line = m_format == QvSearchOptions::Format::Jsonl ? jsonLine(row) : tsvLine(row);
    std::lock_guard lock(m_mutex);
    std::fwrite(line.data(), 1, line.size(), m_rows);
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
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    std::fprintf(m_status, "\r%s\x1b[K", line.c_str());
    std::fflush(m_status);
}

void RowPrinter::finish()
{
    std::lock_guard lock(m_mutex);
    std::fflush(m_rows);
    if (m_showProgress)
        std::fputs("\r\x1b[K", m_status);
    std::fprintf(m_status, "%s\n", m_lastStatus.c_str());
    std::fflush(m_status);
}

} // namespace qv
