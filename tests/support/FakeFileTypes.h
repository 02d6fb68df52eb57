// File types by extension without a MIME database: "TXT file" with icon "icon-txt".
#pragma once

#include "platform/FileTypeInfo.h"

namespace qv::test {

class FakeFileTypes final : public FileTypeInfo {
public:
    FileType typeOf(std::string_view fileName) override
    {
        const auto dot = fileName.rfind('.');
        const std::string ext = dot == std::string_view::npos ? "none" : std::string(fileName.substr(dot + 1));
        return {ext + " file", "icon-" + ext};
    }
};

} // namespace qv::test
