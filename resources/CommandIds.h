// Command identifiers of the main menu, the toolbar and the accelerators. Every
// QAction of the frame carries its identifier as data, so handlers dispatch on the
// number, as the resources name it, not on the action object.
#pragma once

namespace qv::cmd {

// File
inline constexpr int NewSearch = 57600;       // start another instance
inline constexpr int SaveResult = 57603;      // toolbar and Alt+S
inline constexpr int SaveResultAs = 57604;    // menu and Ctrl+S
inline constexpr int MapDriveButton = 32771;
inline constexpr int MapDriveMenu = 32775;
inline constexpr int FontMenu = 32777;        // menu item and Ctrl+T
inline constexpr int FontButton = 32782;      // toolbar button and Ctrl+F
inline constexpr int PrintAccel = 32741;      // Ctrl+P
inline constexpr int PrintButton = 32793;
inline constexpr int PrintMenu = 32794;
inline constexpr int AppExit = 57665;

// Edit
inline constexpr int SelectAllAccel = 32778;  // Ctrl+A
inline constexpr int SelectAllMenu = 32779;
inline constexpr int InvertSelection = 32785; // menu item and Ctrl+I

// View
inline constexpr int ViewToolbar = 59392;
inline constexpr int ViewStatusBar = 59393;
inline constexpr int ColumnUpdated = 32804;
inline constexpr int ColumnCreated = 32805;
inline constexpr int ColumnAccessed = 32806;
inline constexpr int ColumnMatch = 32807;
inline constexpr int ColumnMatchString = 32808;
inline constexpr int ColumnSize = 32809;
inline constexpr int ColumnType = 32811;
inline constexpr int ColumnPath = 32813;
inline constexpr int ColumnName = 32814;
inline constexpr int ViewSmallIcons = 59408;
inline constexpr int ViewLargeIcons = 59409;
inline constexpr int ViewList = 59410;
inline constexpr int ViewDetails = 59411;
inline constexpr int NextPane = 57680;        // F6
inline constexpr int PrevPane = 57681;        // Shift+F6

// Help
inline constexpr int Mail = 32796;
inline constexpr int HelpMenu = 32776;
inline constexpr int HelpButton = 32790;
inline constexpr int AppAbout = 57664;
inline constexpr int HelpHook = 57670;        // F1: the application's help hook opens help.txt

// Saved search criteria (the search form's context menu): save the form under a name,
// and one command per list position to run or delete that entry, newest first.
inline constexpr int SaveCriteria = 32900;
inline constexpr int RunCriteriaFirst = 32901;    // to 32910
inline constexpr int DeleteCriteriaFirst = 32911; // to 32920
inline constexpr int kCriteriaCommands = 10;

// The list position a run or delete command names; -1 for other commands.
constexpr int runCriteriaIndex(int id)
{
    return id >= RunCriteriaFirst && id < RunCriteriaFirst + kCriteriaCommands ? id - RunCriteriaFirst : -1;
}
constexpr int deleteCriteriaIndex(int id)
{
    return id >= DeleteCriteriaFirst && id < DeleteCriteriaFirst + kCriteriaCommands ? id - DeleteCriteriaFirst : -1;
}

// The result-list column a column command shows or hides; -1 for other commands.
constexpr int columnOfCommand(int id)
{
    switch (id) {
    case ColumnName: return 0;
    case ColumnPath: return 1;
    case ColumnSize: return 2;
    case ColumnType: return 3;
    case ColumnUpdated: return 4;
    case ColumnCreated: return 5;
    case ColumnAccessed: return 6;
    case ColumnMatch: return 7;
    case ColumnMatchString: return 8;
    default: return -1;
    }
}

} // namespace qv::cmd
