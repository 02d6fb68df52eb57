#include "search/TypeTable.h"

#include <stdexcept>

namespace qv::TypeTable {
namespace {

constexpr TypeRow kRows[kRowCount] = {
    {255, DepthFolders},                      // everything
    {TypeFilesAndFolders, DepthFolders},      // files and folders
    {TypeShares, DepthShares},                // shared folders
    {TypeComputers, DepthComputers},          // computers
    {TypeWorkgroups, DepthWorkgroups},        // workgroups
    {TypePrinters, DepthShares},              // printers
};

} // namespace

bool isValidIndex(int index) { return index >= 0 && index < kRowCount; }

const TypeRow& row(int index)
{
    if (!isValidIndex(index))
        throw std::out_of_range("type index");
    return kRows[index];
}

} // namespace qv::TypeTable
