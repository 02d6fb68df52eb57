// The program's string table: every user-visible text, keyed by its resource number.
#pragma once

#include <string_view>

namespace qv {

// Resource numbers of the strings the program shows.
enum StringId : int {
    IDS_COUNT_FOUND = 105,        // appended to the found count at the end of a search
    IDS_SEARCH_ENTIRE_NETWORK = 106,
    IDS_SEARCH_WORKGROUP = 107,
    IDS_SEARCH_COMPUTER = 108,
    IDS_SEARCH_SHARE = 109,
    IDS_PAUSE = 104,
    IDS_RESUME = 110,
    IDS_SEARCH_FOLDER = 111,
    IDS_KIND_WORKGROUP = 112,
    IDS_KIND_COMPUTER = 113,
    IDS_KIND_SHARE = 114,
    IDS_ENTIRE_NETWORK = 117,
    IDS_COL_NAME = 118,
    IDS_COL_PATH = 119,
    IDS_CLEAR_RESULTS = 120,
    IDS_COL_SIZE = 123,
    IDS_COL_UPDATED = 124,
    IDS_COL_TYPE = 126,
    IDS_KIND_FOLDER = 150,
    IDS_COL_CREATED = 61448,
    IDS_COL_ACCESSED = 61449,
    IDS_COL_MATCH = 61451,
    IDS_KIND_PRINTER = 61452,
    IDS_EXAMINE_FILE = 61455,
    IDS_COL_MATCH_STRING = 61456,
    IDS_TYPE_FILES_AND_FOLDERS = 115, // type list rows of the search form
    IDS_TYPE_ALL = 116,
    // Application shell: document template, captions, status bar, command prompts.
    IDR_MAINFRAME = 128,          // document string: fields separated by "\n"
    IDS_APP_TITLE = 57344,        // also names the profile's application key
    IDS_IDLE_MESSAGE = 57345,     // message pane text while nothing else is shown
    IDS_MAIN_CAPTION = 61453,
    IDS_INDICATOR_CAPS = 59137,
    IDS_INDICATOR_NUM = 59138,
    IDS_INDICATOR_SCROLL = 59139,
    IDS_PROMPT_SAVE_RESULT = 57603,
    IDS_PROMPT_MAP_DRIVE = 32771,
    IDS_PROMPT_PRINT_SELECTED = 32793,
    IDS_PROMPT_FONT = 32782,
    IDS_PROMPT_SMALL_ICONS = 59408,
    IDS_PROMPT_LARGE_ICONS = 59409,
    IDS_PROMPT_LIST = 59410,
    IDS_PROMPT_DETAILS = 59411,
    // Report files that cannot be written; %1 is the file's path.
    IDS_FILE_ACCESS_DENIED = 61700,
    IDS_FILE_DISK_FULL = 61701,
    IDS_FILE_SHARING_VIOLATION = 61702,
    IDS_FILE_INVALID_PATH = 61703,
    IDS_FILE_GENERIC_ERROR = 61704,
    // Computers the user names by hand: the tree's item for them and its context menu.
    IDS_TYPED_COMPUTERS = 62000,
    IDS_ADD_COMPUTER = 62001,        // context-menu item; the dialog title is it without "(&C)..."
    IDS_REMOVE_COMPUTER = 62002,
    IDS_ADD_COMPUTER_LABEL = 62003,  // the dialog's label
    IDS_LOOK_AGAIN = 62005,          // asks the network anew
    IDS_PLACE_NOT_FOUND = 62006,     // the status bar, before the place qv was started with
    // Search criteria saved by name: the search form's context menu and its dialog.
    IDS_CRITERIA_MENU = 62010,       // the menu's title
    IDS_SAVE_CRITERIA = 62011,       // menu item; the dialog title is it without "(&S)..."
    IDS_SAVE_CRITERIA_LABEL = 62012, // the dialog's label
    IDS_NO_SAVED_CRITERIA = 62013,   // the list's place in the menu while it is empty
    IDS_DELETE_CRITERIA = 62014,     // submenu of the saved names
    // The status bar's last text when a search could not search its place (%1 the
    // place, %2 why) or ended on an error (%1 the error).
    IDS_PLACE_NOT_SEARCHED = 62015,
    IDS_SEARCH_FAILED = 62016,
    // The last status text when places inside the walk could not be searched (%1 the
    // count text, %2 how many places).
    IDS_PLACES_NOT_SEARCHED = 62017,
};

// The text of a string resource; empty for a number the table does not hold.
std::string_view loadString(int id);

} // namespace qv
