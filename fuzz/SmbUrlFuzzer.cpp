// UNC names and smb:// URLs, both ways: every network name the conversion takes comes
// back from its URL and from its own network name as the same place, and every URL it
// takes names a place whose URL reads back the same; a URL holds nothing raw that
// libsmbclient would read as user info, a port, options or an escape.
#include "fuzz/FuzzCheck.h"
#include "platform/SmbUrl.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace qv;
using qv::fuzz::shown;

namespace {

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

void checkUrlText(const std::string& url, const std::string& from)
{
    QV_FUZZ_CHECK(url.starts_with("smb://"), "URL «" + shown(url) + "» of «" + shown(from) + "»");
    const std::string_view rest = std::string_view(url).substr(6);
    const bool literal = rest.starts_with("[");
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const auto c = static_cast<unsigned char>(rest[i]);
        QV_FUZZ_CHECK(c > 0x20 && c < 0x7F && c != '?' && c != '#' && c != '@' && c != ';' && c != '"',
                      "raw byte in URL «" + shown(url) + "» of «" + shown(from) + "»");
        if (c == '%')
            QV_FUZZ_CHECK(i + 2 < rest.size() && isHex(rest[i + 1]) && isHex(rest[i + 2]),
                          "a «%» that starts no escape in «" + shown(url) + "»");
    }
    // A ':' outside an IPv6 literal would be read as a port.
    const std::string_view server = rest.substr(0, rest.find('/'));
    QV_FUZZ_CHECK(literal || server.find(':') == std::string_view::npos, "a «:» in the server of «" + shown(url) + "»");
}

std::string describe(const SmbUrl& u)
{
    std::string out = "level " + std::to_string(static_cast<int>(u.level())) + " server «" + shown(u.server()) + "» share «"
        + shown(u.share()) + "»";
    for (const std::string& p : u.path())
        out += " «" + shown(p) + "»";
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    if (const auto place = SmbUrl::fromNetworkName(text)) {
        const std::string url = place->url();
        checkUrlText(url, text);
        const auto single = place->level() == SmbUrl::Level::Workgroup ? SmbUrl::Level::Workgroup : SmbUrl::Level::Computer;
        const auto back = SmbUrl::fromUrl(url, single);
        QV_FUZZ_CHECK(back && *back == *place, "«" + shown(text) + "» → «" + shown(url) + "» → "
                                                   + (back ? describe(*back) : std::string("refused")) + ", not " + describe(*place));
        const auto again = SmbUrl::fromNetworkName(place->networkName());
        QV_FUZZ_CHECK(again && *again == *place, "«" + shown(text) + "» → «" + shown(place->networkName()) + "» is another place");
    }

    for (const auto single : {SmbUrl::Level::Computer, SmbUrl::Level::Workgroup}) {
        const auto place = SmbUrl::fromUrl(text, single);
        if (!place)
            continue;
        const std::string url = place->url();
        checkUrlText(url, text);
        const auto back = SmbUrl::fromUrl(url, single);
        QV_FUZZ_CHECK(back && *back == *place, "«" + shown(text) + "» → " + describe(*place) + " → «" + shown(url) + "» → "
                                                   + (back ? describe(*back) : std::string("refused")));
        QV_FUZZ_CHECK(SmbUrl::fromUrl(url, single)->url() == url, "the URL «" + shown(url) + "» is not stable");
        // A network name joins its components with "\": where none holds one, the name
        // is the same place.
        bool backslash = place->server().find('\\') != std::string::npos || place->share().find('\\') != std::string::npos;
        for (const std::string& p : place->path())
            backslash = backslash || p.find('\\') != std::string::npos;
        if (!backslash) {
            const auto named = SmbUrl::fromNetworkName(place->networkName());
            QV_FUZZ_CHECK(named && *named == *place, "«" + shown(text) + "» → " + describe(*place) + " → «"
                                                         + shown(place->networkName()) + "» is another place");
        }
    }
    return 0;
}
