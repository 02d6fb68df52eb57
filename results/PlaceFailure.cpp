#include "results/PlaceFailure.h"

#include <cctype>
#include <cerrno>
#include <cstring>

namespace qv {
namespace {

const char* missingText(PlaceFailure::Kind kind)
{
    switch (kind) {
    case PlaceFailure::Kind::Folder: return "no such folder";
    // The SMB library says the same when the computer's name leads nowhere.
    case PlaceFailure::Kind::Share: return "no such share, or no computer of that name";
    case PlaceFailure::Kind::Computer: return "no computer of that name was found";
    case PlaceFailure::Kind::Workgroup: return "no workgroup of that name was found";
    case PlaceFailure::Kind::Network: return "no workgroup or computer was found";
    }
    return "not found";
}

} // namespace

std::string PlaceFailure::reasonFor(Kind kind, int error)
{
    const bool host = kind == Kind::Computer || kind == Kind::Share;
    switch (error) {
    case ENOENT: return missingText(kind);
    case ENOTDIR: return "not a folder";
    case EACCES:
    case EPERM: return "access denied";
    case ETIMEDOUT: return host ? "the computer did not answer in time" : "no answer in time";
    case ECONNREFUSED: return "the computer refused the connection";
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN: return "the computer cannot be reached";
    case ENETDOWN: return "the network is down (no network interface is up)";
    case EINVAL:
        // What the SMB library says for a computer name that resolves to nothing.
        if (host)
            return kind == Kind::Share ? missingText(kind) : missingText(Kind::Computer);
        break;
    case ENAMETOOLONG: return "the name is too long";
    case ELOOP: return "too many symbolic links";
    case EPIPE: return "the SMB helper ended while serving it";
    case ENOPKG: return "a helper of the program could not be started; the installation is incomplete";
    default: break;
    }
    std::string text = std::strerror(error);
    // strerror's sentences start with a capital; the reasons above do not.
    if (text.size() > 1 && std::isupper(static_cast<unsigned char>(text[0])) &&
        std::islower(static_cast<unsigned char>(text[1])))
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

PlaceFailure PlaceFailure::of(std::string place, Kind kind, int error, bool searchPlace, std::string detail)
{
    PlaceFailure failure;
    failure.place = std::move(place);
    failure.kind = kind;
    failure.error = error;
    failure.reason = detail.empty() ? reasonFor(kind, error) : std::move(detail);
    failure.searchPlace = searchPlace;
    failure.installation = error == ENOPKG;
    return failure;
}

} // namespace qv
