// Name rules shared by the discovery sources.
#include "platform/discovery/DiscoveryName.h"

#include <cstdint>

namespace qv {
namespace {

// Decodes the code point at text[i], advancing i; -1 for a malformed sequence.
long decodeOne(std::string_view text, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int extra = 0;
    long cp = 0;
    long minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        return -1;
    }
    if (text.size() - i - 1 < static_cast<std::size_t>(extra))
        return -1;
    for (int k = 1; k <= extra; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return -1;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return -1;
    i += extra + 1;
    return cp;
}

} // namespace

bool DiscoveryName::validUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        if (decodeOne(text, i) < 0)
            return false;
    }
    return true;
}

bool DiscoveryName::acceptable(std::string_view name, std::size_t maxBytes)
{
    if (name.empty() || name.size() > maxBytes)
        return false;
    for (std::size_t i = 0; i < name.size();) {
        const long cp = decodeOne(name, i);
        if (cp < 0 || cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xFFFD || cp == '\\' || cp == '/')
            return false;
    }
    return true;
}

bool DiscoveryName::acceptableWorkgroup(std::string_view workgroup, std::size_t maxBytes)
{
    return workgroup.empty() || acceptable(workgroup, maxBytes);
}

} // namespace qv
