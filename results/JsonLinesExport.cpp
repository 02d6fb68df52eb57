#include "results/JsonLinesExport.h"

#include <algorithm>
#include <cstdint>

#include "platform/ReportOutput.h"
#include "results/ResultRowList.h"
#include "results/RowPath.h"

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

std::string JsonLinesExport::base64(std::string_view bytes)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out.push_back(k <= n ? kDigits[group >> (18 - 6 * k) & 63] : '=');
    }
    return out;
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
    // JSON strings carry text only: bytes that are no UTF-8 go as base64 beside it.
    if (!row.sourcePath.empty()) {
        const RowBytes bytes = rowBytes(row);
        if (bytes.name != row.cell(Column::Name))
            line += ",\"name_bytes\":\"" + base64(bytes.name) + "\"";
        if (bytes.folder != row.cell(Column::Path))
            line += ",\"path_bytes\":\"" + base64(bytes.folder) + "\"";
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
