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
