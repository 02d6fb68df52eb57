// file:// URLs of local paths, for links that a browser can follow.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::FileUrl {

// "file://" and the path with every byte but the unreserved ones (letters, digits,
// "-", ".", "_", "~") and the "/" separators percent-encoded. Only an absolute path
// names a file for certain: a relative one gives nullopt.
std::optional<std::string> fromLocalPath(std::string_view absolutePath);

} // namespace qv::FileUrl
