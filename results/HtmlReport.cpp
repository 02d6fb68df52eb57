#include "results/HtmlReport.h"

#include "platform/FileUrl.h"
#include "platform/ReportOutput.h"
#include "platform/SmbUrl.h"
#include "resources/StringTable.h"
#include "results/CellFormat.h"
#include "results/ResultRowList.h"
#include "search/SearchCriteria.h"

#include <algorithm>
#include <array>

namespace qv {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kBlank = "&nbsp";

// The rows of the type list, in the order the type index counts them.
constexpr std::array<int, 6> kTypeTexts = {IDS_TYPE_ALL,   IDS_TYPE_FILES_AND_FOLDERS, IDS_KIND_SHARE,
                                           IDS_KIND_COMPUTER, IDS_KIND_WORKGROUP,      IDS_KIND_PRINTER};
constexpr std::array<std::string_view, 3> kTimeTypeWords = {"update", "create", "access"};
constexpr std::array<std::string_view, 8> kHeaderCells = {
    "<td ><b>NAME</b></td>",        "<td ><b>PATH</b></td>",        "<td ><b>SIZE</b></td>",
    "<td ><b>TYPE</b></td>",        "<td ><b>UPDATE TIME</b></td>", "<td ><b>CREATE TIME</b></td>",
    "<td ><b>ACCESS TIME</b></td>", "<td ><b>MATCH</b></td>"};

bool holdsNetworkPath(std::string_view text) { return text.find("\\\\") != std::string_view::npos; }

// Rows of a local folder place carry "/"-separated paths of this machine.
bool isLocalPath(std::string_view path) { return !path.empty() && path.front() == '/'; }

std::string joinLocal(const std::string& folder, const std::string& name)
{
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The real bytes of the row's folder, where the row keeps them: its full path less
// the name, which never holds the separator.
std::string sourceFolder(const ResultRow& row, char separator)
{
    return row.sourcePath.substr(0, row.sourcePath.rfind(separator));
}

std::string withoutChar(std::string text, char removed)
{
    text.erase(std::remove(text.begin(), text.end(), removed), text.end());
    return text;
}

std::string placeText(const SearchCriteria& criteria)
{
    if (!criteria.lookInPath.empty())
        return CellFormat::displayText(criteria.lookInPath);
    return withoutChar(std::string(loadString(IDS_ENTIRE_NETWORK)), '*');
}

std::string_view typeText(int typeIndex)
{
    if (typeIndex < 0 || typeIndex >= static_cast<int>(kTypeTexts.size()))
        return {};
    return loadString(kTypeTexts[static_cast<std::size_t>(typeIndex)]);
}

std::string_view timeTypeWord(int timeType)
{
    if (timeType < 0 || timeType >= static_cast<int>(kTimeTypeWords.size()))
        return {};
    return kTimeTypeWords[static_cast<std::size_t>(timeType)];
}

void appendEscaped(std::string& out, std::string_view text)
{
    // Most texts hold none of the four: copy the runs between them whole.
    for (;;) {
        const std::size_t special = text.find_first_of("&<>\"");
        out.append(text.substr(0, special));
        if (special == std::string_view::npos)
            return;
        switch (text[special]) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += "&quot;"; break;
        }
        text.remove_prefix(special + 1);
    }
}

} // namespace

HtmlReport::HtmlReport(ReportOutput& output)
    : m_output(output)
{
    m_buffer.reserve(kBufferSize + 4096);
}

bool HtmlReport::write(const SearchCriteria& criteria, std::int64_t foundCount, const ResultRowList& rows,
                       ReportOutput& output)
{
    HtmlReport report(output);
    report.writeHead();
    report.writeCriteria(criteria, foundCount);
    report.writeTableHead();
    // The count is asked again for every row: the list is read as it stands.
    for (std::int64_t i = 0; i < rows.count() && !report.m_failed; ++i)
        report.writeRow(rows.at(i));
    report.writeFoot();
    return report.flush();
}

std::string HtmlReport::escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    appendEscaped(out, text);
    return out;
}

std::string HtmlReport::linkUrl(std::string_view target)
{
    if (target.starts_with("\\\\")) {
        if (const auto url = SmbUrl::fromNetworkName(target))
            return url->url();
    } else if (isLocalPath(target)) {
        if (auto url = FileUrl::fromLocalPath(target))
            return std::move(*url);
    }
    return std::string(target);
}

void HtmlReport::writeHead()
{
    putLine("<html>");
    putLine("<head>");
    putLine("<title>Trawlex Search Result\n</title>");
    putLine("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">");
    putLine("</head>");
    putLine("<body topmargin=0 leftmargin=0 rightmargin=0 bottommargin=0 bgcolor=\"#CEFFEF\">");
    putLine("<center><H1>Search result list for ");
    putBlankOrLine(loadString(IDS_MAIN_CAPTION));
    putLine("</h1></center>");
    putLine("<hr>");
}

void HtmlReport::writeCriteria(const SearchCriteria& criteria, std::int64_t foundCount)
{
    // The name text is printed without its separators; the criteria themselves
    // stay as the search read them.
    put("<p><b>");
    put("Search  ");
    putEscaped(CellFormat::displayText(withoutChar(criteria.nameText, ';')));
    put("  from   ");
    putBlankOrLine(placeText(criteria));
    putLine("<P>");
    if (criteria.containing) {
        putLine(" has string:");
        putBlankOrLine(CellFormat::displayText(criteria.containingText) + " ");
        putLine("<P>");
    }
    // The size and time lines are never empty and hold only digits, dates and the
    // page's own "->": they are written as they are.
    if (criteria.sizeConditionApplies()) {
        putLine("size: " + std::to_string(criteria.minimumKb) + " KB->" + std::to_string(criteria.maximumKb) + " KB");
        putLine("<p>");
    }
    if (criteria.timeConditionApplies()) {
        putBlankOrLine(timeTypeWord(criteria.timeType));
        putLine("time: " + CellFormat::time(criteria.startTime) + "->" + CellFormat::time(criteria.endTime));
        putLine("<p>");
    }
    putBlankOrLine(std::to_string(foundCount) + "  found");
    put("</b></p>");
    put("<b><p>");
    put("Resource type: ");
    putEscaped(typeText(criteria.typeIndex));
    put("  </b></p>");
}

void HtmlReport::writeTableHead()
{
    putLine("<hr>");
    putLine("<table border=\"1\" width=\"100%\">");
    putLine("<tr>");
    for (const std::string_view cell : kHeaderCells)
        putLine(cell);
    putLine("</tr>");
}

void HtmlReport::writeRow(const ResultRow& row)
{
    putLine("<tr>");
    writeNameCell(row);
    writePathCell(row);
    // Every column, also one the list shows with width 0; the match string has no header.
    for (int column = static_cast<int>(Column::Size); column < kColumnCount; ++column) {
        putLine("<td>");
        putBlankOrLine(row.cells[static_cast<std::size_t>(column)]);
        putLine("</td>");
    }
    putLine("</tr>");
}

// The cells show the texts; a link goes to the real bytes where the row keeps them.
void HtmlReport::writeNameCell(const ResultRow& row)
{
    const std::string& name = row.cell(Column::Name);
    const std::string& path = row.cell(Column::Path);
    putLine("<td>");
    if (path.empty())
        putBlankOrLine(name);
    else if (!row.sourcePath.empty())
        putLink(row.sourcePath, name);
    else if (isLocalPath(path))
        putLink(joinLocal(path, name), name);
    else if (holdsNetworkPath(name))
        putLink(name, name); // a computer or share row names itself
    else
        putLink(path + "\\" + name, name);
    putLine("</td>");
}

void HtmlReport::writePathCell(const ResultRow& row)
{
    const std::string& name = row.cell(Column::Name);
    const std::string& path = row.cell(Column::Path);
    putLine("<td>");
    if (path.empty()) {
        put(kBlank);
    } else if (!holdsNetworkPath(path)) {
        putEscaped(path);
    } else if (path.front() == '\\' || isLocalPath(path)) {
        if (row.sourcePath.empty())
            putLink(path, path);
        else
            putLink(sourceFolder(row, isLocalPath(path) ? '/' : '\\'), path);
    } else {
        // A share row's path is the workgroup directly followed by the computer:
        // the computer is the share's name up to its last backslash.
        const std::size_t last = name.rfind('\\');
        putLink(last == std::string::npos ? std::string() : name.substr(0, last), path);
    }
    putLine("</td>");
}

void HtmlReport::writeFoot()
{
    putLine("</table>");
    putLine("<hr>");
    putLine("</body>");
    put("<p><i>");
    putEscaped(kFooter);
    putLine("</i>");
    putLine("</html>");
}

void HtmlReport::put(std::string_view bytes)
{
    if (m_failed)
        return;
    m_buffer += bytes;
    if (m_buffer.size() >= kBufferSize)
        flush();
}

void HtmlReport::putLine(std::string_view bytes)
{
    put(bytes);
    put(kLineEnd);
}

void HtmlReport::putEscaped(std::string_view text)
{
    if (m_failed)
        return;
    appendEscaped(m_buffer, text);
    if (m_buffer.size() >= kBufferSize)
        flush();
}

void HtmlReport::putBlankOrLine(std::string_view text)
{
    if (text.empty()) {
        put(kBlank);
        return;
    }
    putEscaped(text);
    put(kLineEnd);
}

void HtmlReport::putLink(std::string_view target, std::string_view text)
{
    put("<a href = \"");
    putEscaped(linkUrl(target));
    put("\">");
    putEscaped(text);
    put("</a>");
}

bool HtmlReport::flush()
{
    if (m_failed)
        return false;
    if (!m_buffer.empty() && !m_output.write(m_buffer))
        m_failed = true;
    m_buffer.clear();
    return !m_failed;
}

} // namespace qv
