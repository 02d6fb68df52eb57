#include "search/TypeTable.h"

#include <stdexcept>

namespace qv::TypeTable {
namespace {

constexpr TypeRow kRows[kRowCount] = {
    {"全部", 255, DepthFolders},
    {"ファイル、フォルダ", TypeFilesAndFolders, DepthFolders},
    {"共有フォルダ", TypeShares, DepthShares},
    {"コンピューター", TypeComputers, DepthComputers},
    {"グループ", TypeWorkgroups, DepthWorkgroups},
    {"プリンター", TypePrinters, DepthShares},
};

constexpr std::string_view kTimeTypes[kTimeTypeCount] = {"更新時間", "新規時間", "アクセス時間"};

} // namespace

bool isValidIndex(int index) { return index >= 0 && index < kRowCount; }

const TypeRow& row(int index)
{
    if (!isValidIndex(index))
        throw std::out_of_range("type index");
    return kRows[index];
}

std::string_view timeTypeText(int index)
{
    return index >= 0 && index < kTimeTypeCount ? kTimeTypes[index] : std::string_view{};
}

} // namespace qv::TypeTable
