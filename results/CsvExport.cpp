#include "results/CsvExport.h"

#include "platform/ReportOutput.h"
#include "results/JsonLinesExport.h"
#include "results/ResultRowList.h"

namespace qv {

void CsvExport::appendField(std::string& out, std::string_view cell)
{
    const bool formula = !cell.empty() && std::string_view("=+-@\t\r").find(cell.front()) != std::string_view::npos;
    const bool quoted = formula || cell.find_first_of(",\"\r\n") != std::string_view::npos;
    if (!quoted) {
        out.append(cell);
        return;
    }
    out.push_back('"');
    if (formula)
        out.push_back('\'');
    for (char c : cell) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

bool CsvExport::write(const ResultRowList& rows, ReportOutput& output)
{
    std::string buffer(kByteOrderMark);
    for (std::size_t c = 0; c < JsonLinesExport::kKeys.size(); ++c) {
        if (c > 0)
            buffer.push_back(',');
        buffer.append(JsonLinesExport::kKeys[c]);
    }
    buffer += "\r\n";
    for (std::int64_t i = 0; i < rows.count(); ++i) {
        const ResultRow& row = rows.at(i);
        for (int c = 0; c < kColumnCount; ++c) {
            if (c > 0)
                buffer.push_back(',');
            appendField(buffer, row.cells[static_cast<std::size_t>(c)]);
        }
        buffer += "\r\n";
        if (buffer.size() >= 64 * 1024) {
            if (!output.write(buffer))
                return false;
            buffer.clear();
        }
    }
    return buffer.empty() || output.write(buffer);
}

} // namespace qv
