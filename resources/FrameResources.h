// The main menu, the toolbar and the accelerators as data: the main frame builds its
// menu bar, toolbar and window shortcuts from these tables, in this order.
#pragma once

#include <span>
#include <string_view>

namespace qv {

enum class MenuEntryKind { Popup, Item, Separator, EndPopup };

struct MenuEntry {
    MenuEntryKind kind;
    std::string_view text; // "&" marks the mnemonic; "\t" separates the key name
    int command = 0;
    bool checkable = false; // checked at start when checkable
};

struct ToolbarButton {
    int command = 0;      // 0: separator
    int image = -1;       // index into toolbar bitmap 128
    std::string_view tip; // tool tip
};

struct Accelerator {
    std::string_view key; // QKeySequence portable text
    int command;
};

// Popups nest: each Popup is closed by its EndPopup.
std::span<const MenuEntry> mainMenu();
std::span<const ToolbarButton> mainToolbar();
// Only the keys that do something. Edit keys (Ctrl+C, Ctrl+X, Ctrl+V, Ctrl+Z,
// Ctrl+Insert, Shift+Insert, Shift+Delete, Alt+Backspace) are deliberately absent
// so that they reach the focused text box.
std::span<const Accelerator> mainAccelerators();

// Toolbar bitmap 128 holds this many images side by side, each kToolbarImageSize square.
inline constexpr int kToolbarImageCount = 11;
inline constexpr int kToolbarImageSize = 20;

} // namespace qv
