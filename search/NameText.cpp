#include "search/NameText.h"

#include "platform/Utf8.h"

namespace qv {
namespace {

const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

// A CP932 character is one or two bytes and becomes at most three bytes of UTF-8.
constexpr std::size_t kUtf8BytesPerCp932Byte = 3;

} // namespace

NameText::NameText()
    : m_cp932(iconv_open("UTF-8", "CP932"))
{
    // Without the C library's CP932 module every name is taken as it is.
}

NameText::~NameText()
{
    if (m_cp932 != kNoConversion)
        iconv_close(m_cp932);
}

NameText::Text NameText::of(std::string_view name)
{
    if (Utf8::isValid(name) || !decodeCp932(name))
        return {name, false};
    return {m_decoded, true};
}

std::string NameText::shown(std::string_view name)
{
    std::string out;
    appendShown(out, name);
    return out;
}

std::string NameText::shownPath(std::string_view path, char separator)
{
    std::string out;
    out.reserve(path.size());
    for (;;) {
        const std::size_t end = path.find(separator);
        appendShown(out, path.substr(0, end));
        if (end == std::string_view::npos)
            return out;
        out += separator;
        path.remove_prefix(end + 1);
    }
}

void NameText::appendShown(std::string& out, std::string_view name)
{
    if (Utf8::isValid(name)) {
        out += name;
    } else if (decodeCp932(name)) {
        out += m_decoded;
        out += kCp932Marker;
    } else {
        out += Utf8::sanitized(name);
    }
}

// Strict: a byte CP932 does not map, or a lead byte without its second byte, fails
// the whole name; a name is never shown half decoded.
bool NameText::decodeCp932(std::string_view name)
{
    if (m_cp932 == kNoConversion)
        return false;
    m_decoded.resize(name.size() * kUtf8BytesPerCp932Byte);
    char* in = const_cast<char*>(name.data()); // iconv takes char** but only reads the input
    std::size_t inLeft = name.size();
    char* out = m_decoded.data();
    std::size_t outLeft = m_decoded.size();
    // Any error, and any conversion the module counts as not reversible, fails.
    const std::size_t converted = iconv(m_cp932, &in, &inLeft, &out, &outLeft);
    if (converted != 0 || inLeft != 0) {
        // After an error iconv leaves the shift state undefined; CP932 has none, but the
        // next name must not depend on that.
        iconv(m_cp932, nullptr, nullptr, nullptr, nullptr);
        return false;
    }
    m_decoded.resize(m_decoded.size() - outLeft);
    return true;
}

} // namespace qv
