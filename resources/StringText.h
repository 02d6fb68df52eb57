// A string-table text as a QString, for the window's code.
#pragma once

#include "resources/StringTable.h"

#include <QString>

namespace qv {

inline QString stringText(int id)
{
    const std::string_view s = loadString(id);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace qv
