// A file's type description and icon, derived from its name alone (the file is not opened).
#pragma once

#include <string>
#include <string_view>

namespace qv {

struct FileType {
    std::string typeName; // e.g. "プレーンテキスト文書"
    std::string iconName; // an icon name of a freedesktop icon theme
};

class FileTypeInfo {
public:
    virtual ~FileTypeInfo() = default;
    virtual FileType typeOf(std::string_view fileName) = 0;
};

} // namespace qv
