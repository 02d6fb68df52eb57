// Conversion between the program's network names and smb:// URLs.
#include "platform/SmbUrl.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace qv {
namespace {

constexpr std::string_view kScheme = "smb://";

bool mustEncode(unsigned char c)
{
    if (c < 0x21 || c >= 0x7F)
        return true;
    switch (c) {
    case '%': case '?': case '#': case '@': case ';': case ':': case '"': case '/':
        return true;
    default:
        return false;
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Splits at every `separator`; empty pieces are kept so that callers can refuse them.
std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// inet_pton reads a C string: a zero byte would end the text early.
bool holdsZeroByte(std::string_view text) { return text.find('\0') != std::string_view::npos; }

bool isIpv4(std::string_view text)
{
    if (holdsZeroByte(text))
        return false;
    in_addr a {};
    return inet_pton(AF_INET, std::string(text).c_str(), &a) == 1;
}

// "fe80::1" or "fe80::1%eth0": an IPv6 address, with a zone when it has one.
bool isIpv6(std::string_view text)
{
    if (holdsZeroByte(text))
        return false;
    const std::size_t zone = text.find('%');
    if (zone != std::string_view::npos) {
        const std::string_view name = text.substr(zone + 1);
        if (name.empty() || name.size() > 15)
            return false;
        for (const char c : name) {
            const auto u = static_cast<unsigned char>(c);
            if (u <= 0x20 || u >= 0x7F || c == '%' || c == '/' || c == ']' || c == '[')
                return false;
        }
        text = text.substr(0, zone);
    }
    in6_addr a {};
    return inet_pton(AF_INET6, std::string(text).c_str(), &a) == 1;
}

// "[fe80::1]" as a network name's computer part.
bool isBracketedIpv6(std::string_view server)
{
    return server.size() > 2 && server.front() == '[' && server.back() == ']'
        && isIpv6(server.substr(1, server.size() - 2));
}

// The URL's server part: an IPv6 literal keeps its brackets and colons, which
// libsmbclient reads as the address (a zone's "%" is written "%25").
std::string serverComponent(const std::string& server)
{
    // Raw brackets in the server part mean an IPv6 literal: a name that merely holds
    // them has them escaped.
    if (!isBracketedIpv6(server)) {
        std::string out;
        for (const char c : SmbUrl::encodeComponent(server)) {
            if (c == '[')
                out += "%5B";
            else if (c == ']')
                out += "%5D";
            else
                out += c;
        }
        return out;
    }
    // The address as it is; its zone (an interface name, which may hold "@" or "#")
    // escaped like any component, its "%" written "%25".
    const std::size_t zone = server.find('%');
    if (zone == std::string::npos)
        return server;
    return server.substr(0, zone) + "%25" + SmbUrl::encodeComponent(server.substr(zone + 1, server.size() - zone - 2)) + "]";
}

} // namespace

std::string SmbUrl::hostForAddress(std::string_view address)
{
    if (isIpv4(address))
        return std::string(address);
    if (isIpv6(address))
        return serverComponent("[" + std::string(address) + "]");
    return {};
}

bool SmbUrl::isAddressName(std::string_view server) { return isIpv4(server) || isBracketedIpv6(server); }

std::optional<SmbUrl> SmbUrl::fromNetworkName(std::string_view name)
{
    SmbUrl url;
    if (name.empty() || name == "\\\\")
        return url;
    if (name.size() < 2 || name[0] != '\\' || name[1] != '\\') {
        if (name.find('\\') != std::string_view::npos)
            return std::nullopt;
        url.m_level = Level::Workgroup;
        url.m_server = std::string(name);
        return url;
    }
    name.remove_prefix(2);
    if (name.size() > 1 && name.back() == '\\')
        name.remove_suffix(1);
    const auto parts = split(name, '\\');
    for (const auto& part : parts) {
        if (part.empty())
            return std::nullopt;
    }
    url.m_level = Level::Computer;
    url.m_server = std::string(parts[0]);
    if (parts.size() >= 2) {
        url.m_level = Level::Share;
        url.m_share = std::string(parts[1]);
    }
    for (std::size_t i = 2; i < parts.size(); ++i) {
        url.m_level = Level::Folder;
        url.m_path.emplace_back(parts[i]);
    }
    return url;
}

std::optional<SmbUrl> SmbUrl::fromUrl(std::string_view text, Level singleName)
{
    if (text.size() < kScheme.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        if (asciiLower(text[i]) != kScheme[i])
            return std::nullopt;
    }
    text.remove_prefix(kScheme.size());
    // Raw '?', '#', '@' and ';' would mean options or user info to libsmbclient;
    // names carry them percent-encoded.
    if (text.find_first_of("?#@;") != std::string_view::npos)
        return std::nullopt;
    SmbUrl url;
    if (text.empty())
        return url;
    if (text.back() == '/')
        text.remove_suffix(1);
    // An IPv6 literal server ("[fe80::1%25eth0]") keeps its colons and brackets.
    std::string_view serverText = text.substr(0, text.find('/'));
    std::optional<std::string> literal;
    if (serverText.size() > 2 && serverText.front() == '[') {
        literal = decodeComponent(serverText);
        if (!literal || !isBracketedIpv6(*literal))
            return std::nullopt;
        text.remove_prefix(serverText.size());
        if (!text.empty())
            text.remove_prefix(1);
    }
    std::vector<std::string> parts;
    if (literal)
        parts.push_back(*literal);
    for (const auto& raw : literal && text.empty() ? std::vector<std::string_view>{} : split(text, '/')) {
        auto part = decodeComponent(raw);
        if (!part || part->empty())
            return std::nullopt;
        parts.push_back(std::move(*part));
    }
    // A raw ':' in the server part would be read as a port.
    if (!literal && serverText.find(':') != std::string_view::npos)
        return std::nullopt;
    url.m_server = std::move(parts[0]);
    url.m_level = singleName == Level::Workgroup ? Level::Workgroup : Level::Computer;
    if (parts.size() >= 2) {
        url.m_level = Level::Share;
        url.m_share = std::move(parts[1]);
    }
    for (std::size_t i = 2; i < parts.size(); ++i) {
        url.m_level = Level::Folder;
        url.m_path.push_back(std::move(parts[i]));
    }
    return url;
}

std::string SmbUrl::url() const
{
    if (m_level == Level::Network)
        return std::string(kScheme);
    return urlWithHost(serverComponent(m_server));
}

std::string SmbUrl::urlWithHost(std::string_view host) const
{
    std::string out(kScheme);
    if (m_level == Level::Network)
        return out;
    out += host;
    if (m_level == Level::Workgroup || m_level == Level::Computer)
        return out;
    out += '/';
    out += encodeComponent(m_share);
    for (const auto& part : m_path) {
        out += '/';
        out += encodeComponent(part);
    }
    return out;
}

std::string SmbUrl::networkName() const
{
    switch (m_level) {
    case Level::Network:
        return {};
    case Level::Workgroup:
        return m_server;
    default:
        break;
    }
    std::string out = "\\\\" + m_server;
    if (m_level == Level::Computer)
        return out;
    out += '\\';
    out += m_share;
    for (const auto& part : m_path) {
        out += '\\';
        out += part;
    }
    return out;
}

SmbUrl SmbUrl::child(std::string_view name) const
{
    SmbUrl out = *this;
    switch (m_level) {
    case Level::Network:
        out.m_level = Level::Workgroup;
        out.m_server = std::string(name);
        break;
    case Level::Workgroup:
        out.m_level = Level::Computer;
        out.m_server = std::string(name);
        break;
    case Level::Computer:
        out.m_level = Level::Share;
        out.m_share = std::string(name);
        break;
    case Level::Share:
    case Level::Folder:
        out.m_level = Level::Folder;
        out.m_path.emplace_back(name);
        break;
    }
    return out;
}

std::string SmbUrl::encodeComponent(std::string_view component)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(component.size());
    for (const char ch : component) {
        const auto c = static_cast<unsigned char>(ch);
        if (mustEncode(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<std::string> SmbUrl::decodeComponent(std::string_view component)
{
    std::string out;
    out.reserve(component.size());
    for (std::size_t i = 0; i < component.size(); ++i) {
        if (component[i] != '%') {
            out += component[i];
            continue;
        }
        if (i + 2 >= component.size())
            return std::nullopt;
        const int high = hexValue(component[i + 1]);
        const int low = hexValue(component[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string SmbUrl::serverKey(std::string_view name)
{
    std::string key(name);
    for (char& c : key)
        c = asciiLower(c);
    return key;
}

bool SmbUrl::sameServerName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

} // namespace qv
