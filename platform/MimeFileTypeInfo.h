// File types from the shared MIME database, by file name.
#pragma once

#include "platform/FileTypeInfo.h"

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace qv {

class MimeFileTypeInfo final : public FileTypeInfo {
public:
    // Type names are given in the language of the locale name ("ja_JP"); empty
    // for the default locale.
    explicit MimeFileTypeInfo(std::string localeName = "ja_JP");
    ~MimeFileTypeInfo() override;

    FileType typeOf(std::string_view fileName) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace qv
