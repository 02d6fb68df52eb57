// The HTML report of a search: the criteria, the found count and a table of every
// result row in display order, streamed through a buffer into a ReportOutput so that
// no report, however many rows it has, is held in memory whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

class ReportOutput;
class ResultRowList;
struct ResultRow;
struct SearchCriteria;

class HtmlReport final {
public:
    static constexpr std::size_t kBufferSize = 64 * 1024;
    // The line in italics below the body.
    static constexpr std::string_view kFooter = "Quendle — LAN file search";

    // Writes the whole page. False as soon as the output refuses bytes; nothing
    // more is written then.
    static bool write(const SearchCriteria& criteria, std::int64_t foundCount, const ResultRowList& rows,
                      ReportOutput& output);

    // The text with &, <, > and " replaced by their character references.
    static std::string escaped(std::string_view text);
    // What a link points at: a network name as its smb:// URL, an absolute local path
    // as its file:// URL, anything else (which no URL names) as it is.
    static std::string linkUrl(std::string_view target);

private:
    explicit HtmlReport(ReportOutput& output);

    void writeHead();
    void writeCriteria(const SearchCriteria& criteria, std::int64_t foundCount);
    void writeTableHead();
    void writeRow(const ResultRow& row);
    void writeNameCell(const ResultRow& row);
    void writePathCell(const ResultRow& row);
    void writeFoot();

    void put(std::string_view bytes);
    void putLine(std::string_view bytes); // followed by CR LF
    void putEscaped(std::string_view text);
    // An empty text as "&nbsp", any other escaped and followed by CR LF.
    void putBlankOrLine(std::string_view text);
    void putLink(std::string_view target, std::string_view text);
    bool flush();

    ReportOutput& m_output;
    std::string m_buffer;
    bool m_failed = false;
};

} // namespace qv
