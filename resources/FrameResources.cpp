// The tables of the main menu, the toolbar and the accelerators.
#include "resources/FrameResources.h"

#include "resources/CommandIds.h"

namespace qv {
namespace {

using K = MenuEntryKind;

constexpr MenuEntry kMenu[] = {
    {K::Popup, "ファイル(&F)"},
    {K::Item, "新規検索(&N)\tCtrl+N", cmd::NewSearch},
    {K::Item, "検索結果を保存する(&S)...\tCtrl+S", cmd::SaveResultAs},
    {K::Item, "ネットワークドライブを割り当て(&D)\tCtrl+D", cmd::MapDriveMenu},
    {K::Separator, {}},
    {K::Item, "フォント(&F)\tCtrl+F", cmd::FontMenu},
    {K::Separator, {}},
    {K::Item, "選択されるファイルをプリント(&P)\tCtrl+P", cmd::PrintMenu},
    {K::Separator, {}},
    {K::Item, "閉じる(&X)", cmd::AppExit},
    {K::EndPopup, {}},

    {K::Popup, "編集(&E)"},
    {K::Item, "全て選択(&A)\tCtrl+A", cmd::SelectAllMenu},
    {K::Item, "選択の切り替え(&I)\tCtrl+I", cmd::InvertSelection},
    {K::EndPopup, {}},

    {K::Popup, "表示(&V)"},
    {K::Item, "ツールバー(&T)", cmd::ViewToolbar, true},
    {K::Item, "ステータスバー(&S)", cmd::ViewStatusBar, true},
    {K::Popup, "コラム(&C)"},
    {K::Item, "名前(&N)", cmd::ColumnName, true},
    {K::Item, "パス(&P)", cmd::ColumnPath, true},
    {K::Item, "サイズ(&Z)", cmd::ColumnSize, true},
    {K::Item, "タイプ(&T)", cmd::ColumnType, true},
    {K::Item, "更新時間(&U)", cmd::ColumnUpdated, true},
    {K::Item, "新規時間(&C)", cmd::ColumnCreated, true},
    {K::Item, "アクセス時間(&A)", cmd::ColumnAccessed, true},
    {K::Item, "マッチ(&M)", cmd::ColumnMatch, true},
    {K::Item, "マッチ文字列(&S)", cmd::ColumnMatchString, true},
    {K::EndPopup, {}},
    {K::EndPopup, {}},

    {K::Popup, "ヘルプ(&H)"},
    {K::Item, "EMAILをください(&M)", cmd::Mail},
    {K::Item, "ヘルプ(&H)", cmd::HelpMenu},
    {K::Separator, {}},
    {K::Item, "Quendle(&A)について", cmd::AppAbout},
    {K::EndPopup, {}},
};

// Buttons without a prompt string get a tool tip from their menu item, so that
// every button names itself when the pointer rests on it.
constexpr ToolbarButton kToolbar[] = {
    {cmd::NewSearch, 0, "新規検索"},
    {cmd::SaveResult, 1, "結果を保存"},
    {cmd::MapDriveButton, 2, "ネットワークドライブを割り当てる"},
    {cmd::PrintButton, 3, "選択されるファイルを印刷"},
    {0, -1, {}},
    {cmd::ViewLargeIcons, 4, "大アイコン"},
    {cmd::ViewSmallIcons, 5, "小アイコン"},
    {cmd::ViewList, 6, "一覧"},
    {cmd::ViewDetails, 7, "詳細"},
    {cmd::FontButton, 8, "フォント"},
    {0, -1, {}},
    {cmd::HelpButton, 9, "ヘルプ"},
    {cmd::AppAbout, 10, "Quendleについて"},
};

constexpr Accelerator kAccelerators[] = {
    {"Ctrl+N", cmd::NewSearch},
    {"Ctrl+S", cmd::SaveResultAs},
    {"Alt+S", cmd::SaveResult},
    {"Ctrl+D", cmd::MapDriveMenu},
    {"Ctrl+F", cmd::FontButton},
    {"Ctrl+T", cmd::FontMenu},
    {"Ctrl+P", cmd::PrintAccel},
    {"Ctrl+A", cmd::SelectAllAccel},
    {"Ctrl+I", cmd::InvertSelection},
    {"F6", cmd::NextPane},
    {"Shift+F6", cmd::PrevPane},
    {"F1", cmd::HelpHook},
};

} // namespace

std::span<const MenuEntry> mainMenu() { return kMenu; }
std::span<const ToolbarButton> mainToolbar() { return kToolbar; }
std::span<const Accelerator> mainAccelerators() { return kAccelerators; }

} // namespace qv
