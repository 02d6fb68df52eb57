// The search form's icons by resource number: the compiled-in picture when the
// program has one, otherwise a theme icon or a small drawn one.
#pragma once

#include <QIcon>

namespace qv {

namespace FormIcon {
enum : int {
    Search = 158,
    Stop = 159,
    Pause = 160,
    Resume = 161, // the Pause button while the search is paused
    // Rows of the type list.
    FilesAndFolders = 131,
    Everything = 132,
    Share = 133,
    Workgroup = 139,
    Computer = 140,
    Printer = 154,
    // Rows of the time-type list.
    UpdateTime = 144,
    CreationTime = 145,
    AccessTime = 146,
};
} // namespace FormIcon

// Never null: every number the form uses has a drawn stand-in.
QIcon formIcon(int resource);

} // namespace qv
