// A place a search could not search (a folder, share, computer, workgroup or the
// network), with a one-line reason: what the walks tell a search's sink about it.
#pragma once

#include <string>

namespace qv {

struct PlaceFailure {
    enum class Kind { Folder, Share, Computer, Workgroup, Network };

    std::string place; // as the place box or the Path cell names it
    Kind kind = Kind::Folder;
    int error = 0;      // the errno value, where there is one
    std::string reason; // one line, without the place
    // The place the search was asked for, rather than one met inside its walk.
    bool searchPlace = false;
    // The program's own fault, not the place's: a helper of the program could not be
    // started (ENOPKG, as the file systems and enumerators say it), so nothing of its
    // kind can be searched until the installation is mended.
    bool installation = false;

    // A failure with the reason for the error; `detail`, where the backend gave one
    // (an SMB helper that could not be started), is the reason instead.
    static PlaceFailure of(std::string place, Kind kind, int error, bool searchPlace, std::string detail = {});

    // The reason for an errno value, worded for the kind of place: "no such folder",
    // "access denied", "the computer did not answer in time" ...
    static std::string reasonFor(Kind kind, int error);

};

} // namespace qv
