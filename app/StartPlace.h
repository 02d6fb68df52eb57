// The place the window opens with, from qv's command-line argument: what a terminal,
// the desktop entry (smb:// and file:// URLs) or a file manager's "Open with" hands over.
#pragma once

#include "search/SearchPlace.h"

#include <QString>

namespace qv {

class StartPlace final {
public:
    // argument: an smb:// URL, a file:// URL, "\\HOST..." network names, a local path
    // (relative to currentDirectory) or a workgroup name, always taken literally. A
    // text that is a local path, existing or not, is a local place when it holds "/"
    // or starts with "."; a bare name is one only when it exists here.
    static StartPlace fromArgument(const QString& argument, const QString& currentDirectory);

    const SearchPlace& place() const { return m_place; }
    // smb://NAME names a workgroup or a computer alike: the workgroup, when the tree
    // shows one of that name; empty otherwise.
    const QString& workgroupAlternative() const { return m_workgroup; }
    // A text for the status bar when the place cannot be searched as given (a local
    // folder that does not exist, a URL that names no place); empty when it can.
    const QString& problem() const { return m_problem; }

private:
    SearchPlace m_place;
    QString m_workgroup;
    QString m_problem;
};

} // namespace qv
