// The result list as CSV for spreadsheet programs: UTF-8 with a byte-order mark (so
// that spreadsheets on Japanese desktops do not read it as Shift-JIS), a header line
// of the JSON Lines keys, the nine cells of each row in display order, CR LF line ends
// and RFC 4180 quoting. A cell that a spreadsheet would run as a formula (it starts
// with "=", "+", "-", "@", a tab or a CR) is written as text: an apostrophe before it,
// the whole cell quoted.
#pragma once

#include <string>
#include <string_view>

namespace qv {

class ReportOutput;
class ResultRowList;

class CsvExport final {
public:
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

    static bool write(const ResultRowList& rows, ReportOutput& output);
    // One cell as a CSV field: as it is when nothing calls for quotes.
    static void appendField(std::string& out, std::string_view cell);
};

} // namespace qv
