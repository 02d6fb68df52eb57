#include "results/RowPath.h"

namespace qv {

bool holdsNetworkPath(std::string_view text)
{
    return text.find("\\\\") != std::string_view::npos;
}

std::string fullPath(const ResultRow& row)
{
    if (!row.sourcePath.empty())
        return row.sourcePath;
    const std::string& path = row.cell(Column::Path);
    const std::string& name = row.cell(Column::Name);
    if (path.empty())
        return name;
    std::string full;
    full.reserve(path.size() + 1 + name.size());
    full.append(path).append(1, '\\').append(name);
    return full;
}

RowBytes rowBytes(const ResultRow& row)
{
    if (row.sourcePath.empty())
        return {row.cell(Column::Name), row.cell(Column::Path)};
    // A name never holds its separator: the last one ends the folder.
    const char separator = row.sourcePath.rfind("\\\\", 0) == 0 ? '\\' : '/';
    const std::size_t last = row.sourcePath.rfind(separator);
    if (last == std::string::npos)
        return {row.sourcePath, {}};
    RowBytes bytes{row.sourcePath.substr(last + 1), row.sourcePath.substr(0, last)};
    if (bytes.folder.empty() && separator == '/')
        bytes.folder = "/";
    return bytes;
}

std::optional<std::string> rowPath(const ResultRow& row)
{
    std::string full = fullPath(row);
    if (!holdsNetworkPath(full))
        return std::nullopt;
    // Computer and share rows keep no real bytes: their Name is their network name.
    const std::string& name = row.cell(Column::Name);
    if (row.sourcePath.empty() && holdsNetworkPath(name))
        return name;
    return full;
}

} // namespace qv
