// The rules a computer or workgroup name must pass before any discovery source may
// report it: names come from other machines and end up in URLs, paths and the tree.
#pragma once

#include <cstddef>
#include <string_view>

namespace qv {

class DiscoveryName final {
public:
    static constexpr std::size_t kMaxBytes = 63;       // one DNS label
    static constexpr std::size_t kMaxNetbiosBytes = 15; // NetBIOS name without its suffix byte

    // Non-empty, at most maxBytes bytes of valid UTF-8 (no overlong forms, surrogates
    // or code points past U+10FFFF), and no control character (C0, DEL, C1), no U+FFFD
    // (a decoder's mark for bytes it could not read), no "\" and no "/": a name with
    // those could not be told apart from a path or would change what a URL points at.
    static bool acceptable(std::string_view name, std::size_t maxBytes = kMaxBytes);

    // A workgroup may be missing (empty); when given it follows the name rules.
    static bool acceptableWorkgroup(std::string_view workgroup, std::size_t maxBytes = kMaxBytes);

    // Strict UTF-8 check (RFC 3629).
    static bool validUtf8(std::string_view text);
};

} // namespace qv
