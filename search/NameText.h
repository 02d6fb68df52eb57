// The text of a local file name. Archives made on Windows and unpacked here leave
// names whose bytes are CP932, not UTF-8: such a name is read as CP932 when every
// byte of it converts; any other name is taken as it is.
#pragma once

#include <iconv.h>
#include <string>
#include <string_view>

namespace qv {

class NameText final {
public:
    // Follows every name and path component shown decoded from CP932.
    static constexpr std::string_view kCp932Marker = "\u3014CP932\u3015";

    struct Text {
        std::string_view text;
        bool decoded = false; // from CP932; otherwise text is the name itself
    };

    // Each walk holds its own: a conversion descriptor must not be shared by threads.
    NameText();
    ~NameText();
    NameText(const NameText&) = delete;
    NameText& operator=(const NameText&) = delete;

    // The name itself when it is UTF-8 (no copy) or does not convert from CP932 as a
    // whole; else the decoded text, which this object keeps until the next call.
    Text of(std::string_view name);

    // The name as a cell shows it: the decoded text followed by the marker, or the
    // name with the bytes of invalid sequences as U+FFFD.
    std::string shown(std::string_view name);

    // Every component between separators shown as a name is shown.
    std::string shownPath(std::string_view path, char separator);

private:
    void appendShown(std::string& out, std::string_view name);
    bool decodeCp932(std::string_view name);

    iconv_t m_cp932;
    std::string m_decoded;
};

} // namespace qv
