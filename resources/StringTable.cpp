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
    {IDS_TYPE_FILES_AND_FOLDERS, "ファイル、フォルダ"},
    {IDS_TYPE_ALL, "全部"},
    {IDR_MAINFRAME, "QV\n\nQV\n\n\nQV.Document\nQV Document"},
    {IDS_APP_TITLE, "Quendle"},
    {IDS_IDLE_MESSAGE, "　"},
    {IDS_MAIN_CAPTION, "Quendle"},
    {IDS_INDICATOR_CAPS, "CAP"},
    {IDS_INDICATOR_NUM, "NUM"},
    {IDS_INDICATOR_SCROLL, "SCRL"},
    {IDS_PROMPT_SAVE_RESULT, "結果を保存"},
    {IDS_PROMPT_MAP_DRIVE, "ネットワークドライブを割り当てる"},
    {IDS_PROMPT_PRINT_SELECTED, "選択されるファイルを印刷"},
    {IDS_PROMPT_FONT, "フォント"},
    {IDS_PROMPT_SMALL_ICONS, "小アイコン"},
    {IDS_PROMPT_LARGE_ICONS, "大アイコン"},
    {IDS_PROMPT_LIST, "一覧"},
    {IDS_PROMPT_DETAILS, "詳細"},
    {IDS_FILE_ACCESS_DENIED, "Access to %1 was denied."},
    {IDS_FILE_DISK_FULL, "Disk full while accessing %1."},
    {IDS_FILE_SHARING_VIOLATION, "A sharing violation occurred while accessing %1."},
    {IDS_FILE_INVALID_PATH, "%1 contains an invalid path."},
    {IDS_FILE_GENERIC_ERROR, "An unexpected error occurred while accessing %1."},
    {IDS_TYPED_COMPUTERS, "追加したコンピューター"},
    {IDS_ADD_COMPUTER, "コンピューターを追加(&C)..."},
    {IDS_REMOVE_COMPUTER, "一覧から削除(&R)"},
    {IDS_ADD_COMPUTER_LABEL, "コンピューター名またはアドレス (\\\\名前、\\\\192.0.2.5、\\\\[fe80::1]):"},
    {IDS_LOOK_AGAIN, "ネットワークを再検索(&W)"},
    {IDS_PLACE_NOT_FOUND, "探す場所が見つかりません: "},
    {IDS_CRITERIA_MENU, "検索条件(&R)"},
    {IDS_SAVE_CRITERIA, "検索条件を保存(&S)..."},
    {IDS_SAVE_CRITERIA_LABEL, "名前:"},
    {IDS_NO_SAVED_CRITERIA, "(保存した検索条件はありません)"},
    {IDS_DELETE_CRITERIA, "検索条件を削除(&D)"},
    {IDS_PLACE_NOT_SEARCHED, "%1 を検索できませんでした: %2"},
    {IDS_SEARCH_FAILED, "検索はエラーで終わりました: %1"},
    {IDS_PLACES_NOT_SEARCHED, "%1 (検索できなかった場所: %2)"},
};

} // namespace

std::string_view loadString(int id)
{
    const auto it = std::find_if(std::begin(kStrings), std::end(kStrings),
                                 [id](const auto& entry) { return entry.first == id; });
    return it == std::end(kStrings) ? std::string_view{} : it->second;
}

} // namespace qv
