#include "results/JsonLinesExport.h"

#include "platform/ReportOutput.h"
#include "results/ResultRowList.h"

namespace qv {

void JsonLinesExport::appendString(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                out += "\\u00";
                out.push_back(kHex[u >> 4]);
                out.push_back(kHex[u & 15]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
}

std::string JsonLinesExport::line(const ResultRow& row)
{
    std::string line = "{";
    for (int c = 0; c < kColumnCount; ++c) {
        if (c > 0)
            line.push_back(',');
        appendString(line, kKeys[static_cast<std::size_t>(c)]);
        line.push_back(':');
        appendString(line, row.cells[static_cast<std::size_t>(c)]);
    }
    line += "}\n";
    return line;
}

bool JsonLinesExport::write(const ResultRowList& rows, ReportOutput& output)
{
    // Rows go out in blocks, so that a million rows cost a few hundred writes.
    std::string buffer;
    for (std::int64_t i = 0; i < rows.count(); ++i) {
        buffer += line(rows.at(i));
        if (buffer.size() >= 64 * 1024) {
            if (!output.write(buffer))
                return false;
            buffer.clear();
        }
    }
    return buffer.empty() || output.write(buffer);
}

} // namespace qv
