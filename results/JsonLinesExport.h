// The result list as JSON Lines: one object per row with the nine cells under the
// keys qvsearch --format jsonl uses, in display order, streamed into a ReportOutput.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "results/ResultRow.h"

namespace qv {

class ReportOutput;
class ResultRowList;

class JsonLinesExport final {
public:
    static constexpr std::array<std::string_view, kColumnCount> kKeys = {
        "name", "path", "size", "type", "updated", "created", "accessed", "match", "match_string"};

    // One row as one line, "\n" included. Where the name or the folder is not valid
    // UTF-8, its cell is text for display and "name_bytes" / "path_bytes" follow the
    // nine cells with the real bytes in base64 (RFC 4648).
    static std::string line(const ResultRow& row);
    // Every row, newest first as the list shows them. False as soon as the output
    // refuses bytes.
    static bool write(const ResultRowList& rows, ReportOutput& output);
    // The text as a JSON string, quotes included.
    static void appendString(std::string& out, std::string_view text);
    static std::string base64(std::string_view bytes);
};

} // namespace qv
