// Icons and bitmaps compiled into the program (quendle.qrc), looked up by their
// resource numbers: ":/icons/N.png" (16 px) and ":/icons/32/N.png" (32 px).
#pragma once

#include <QIcon>
#include <QPixmap>

namespace qv {

// The icons the code asks for by name; the numbers are those of the program's resources.
namespace ResourceIconId {
enum : int {
    Program = 128,   // the window's and the boxes' icon
    SortDown = 137,  // header arrow of a descending column
    SortUp = 138,    // header arrow of an ascending column
};
} // namespace ResourceIconId

// Makes sure the compiled-in resources are registered; the program's resources sit
// in a static library, whose registration the linker would otherwise drop.
void ensureResources();

// Icon resource N with its 16 and 32 px pictures; a null icon for an unknown number.
QIcon resourceIcon(int id);

// Image `index` of the toolbar bitmap (20 x 20 px).
QPixmap toolbarImage(int index);

} // namespace qv
