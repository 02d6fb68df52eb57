// Icons and bitmaps compiled into the program (quendle.qrc), looked up by their
// resource numbers: ":/icons/N.png" (16 px) and ":/icons/32/N.png" (32 px).
#pragma once

#include <QIcon>
#include <QPixmap>

namespace qv {

// Makes sure the compiled-in resources are registered; the program's resources sit
// in a static library, whose registration the linker would otherwise drop.
void ensureResources();

// Icon resource N with its 16 and 32 px pictures; a null icon for an unknown number.
QIcon resourceIcon(int id);

// Image `index` of toolbar bitmap 128 (20 x 20 px).
QPixmap toolbarImage(int index);

} // namespace qv
