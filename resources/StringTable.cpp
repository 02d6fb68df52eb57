#include "resources/StringTable.h"

#include <algorithm>
#include <array>
#include <utility>

namespace qv {
namespace {

constexpr std::pair<int, std::string_view> kStrings[] = {
    {IDS_PAUSE, "一時停止"},
    {IDS_COUNT_FOUND, "個見つかりました"},
    {IDS_SEARCH_WORKGROUP, "ワークグループを検索 "},
    {IDS_SEARCH_COMPUTER, "コンピューターを検索"},
    {IDS_SEARCH_ENTIRE_NETWORK, "ネットワーク全体を検索 ..."},
    {IDS_SEARCH_SHARE, "共有フォルダを検索"},
    {IDS_RESUME, "続き"},
    {IDS_SEARCH_FOLDER, "フォルダを検索"},
    {IDS_KIND_WORKGROUP, "グループ"},
    {IDS_KIND_COMPUTER, "コンピューター"},
    {IDS_KIND_SHARE, "共有フォルダ"},
    {IDS_ENTIRE_NETWORK, "ネットワーク全体"},
    {IDS_COL_NAME, "名前(ダブルクリック)"},
    {IDS_COL_PATH, "パス(右ダブルクリック)"},
    {IDS_CLEAR_RESULTS, "結果をクリア"},
    {IDS_COL_SIZE, "サイズ"},
    {IDS_COL_UPDATED, "更新時間"},
    {IDS_COL_TYPE, "タイプ"},
    {IDS_KIND_FOLDER, "フォルダ"},
    {IDS_COL_CREATED, "新規時間"},
    {IDS_COL_ACCESSED, "アクセス時間"},
    {IDS_COL_MATCH, "マッチ"},
    {IDS_KIND_PRINTER, "プリンター"},
    {IDS_EXAMINE_FILE, "ファイルを調べる"},
    {IDS_COL_MATCH_STRING, "マッチ文字列"},
};

} // namespace

std::string_view loadString(int id)
{
    const auto it = std::find_if(std::begin(kStrings), std::end(kStrings),
                                 [id](const auto& entry) { return entry.first == id; });
    return it == std::end(kStrings) ? std::string_view{} : it->second;
}

} // namespace qv
