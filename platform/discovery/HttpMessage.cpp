// URL parsing, request building and response reading for the metadata exchange.
#include "platform/discovery/HttpMessage.h"

#include <QString>

#include <cctype>

namespace qv {
namespace {

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool allDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::optional<QHostAddress> ipv4Literal(std::string_view text)
{
    int parts = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        const std::string_view part = text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (!allDigits(part) || part.size() > 3 || std::stoi(std::string(part)) > 255)
            return std::nullopt;
        ++parts;
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    if (parts != 4)
        return std::nullopt;
    QHostAddress address;
    if (!address.setAddress(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()))))
        return std::nullopt;
    return address;
}

std::optional<QHostAddress> ipv6Literal(std::string_view text)
{
    // The zone, written "%eth0" or "%25eth0", is the sender's own interface name and
    // means nothing here: the caller gives the address the scope it arrived on.
    const std::size_t zone = text.find('%');
    text = text.substr(0, zone);
    if (text.empty())
        return std::nullopt;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.')
            return std::nullopt;
    }
    QHostAddress address;
    if (!address.setAddress(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())))
        || address.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    return address;
}

// Status 200 in "HTTP/1.x 200 Reason".
bool statusIsOk(std::string_view line)
{
    if (line.size() < 12 || line.substr(0, 7) != "HTTP/1." || line[8] != ' ')
        return false;
    return line.substr(9, 3) == "200" && (line.size() == 12 || line[12] == ' ');
}

} // namespace

std::optional<HttpUrl> HttpMessage::parseUrl(std::string_view url)
{
    if (url.size() > kMaxUrlBytes || url.size() < 8 || !equalsNoCase(url.substr(0, 7), "http://"))
        return std::nullopt;
    url.remove_prefix(7);
    const std::size_t pathStart = url.find_first_of("/?#");
    std::string_view authority = url.substr(0, pathStart);
    std::string_view path = pathStart == std::string_view::npos ? std::string_view{} : url.substr(pathStart);
    if (authority.find('@') != std::string_view::npos)
        return std::nullopt;
    HttpUrl result;
    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        auto address = ipv6Literal(authority.substr(1, close - 1));
        if (!address)
            return std::nullopt;
        result.address = *address;
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            portText = rest.substr(1);
            if (portText.empty())
                return std::nullopt;
        }
    } else {
        const std::size_t colon = authority.find(':');
        auto address = ipv4Literal(authority.substr(0, colon));
        if (!address)
            return std::nullopt;
        result.address = *address;
        if (colon != std::string_view::npos) {
            portText = authority.substr(colon + 1);
            if (portText.empty())
                return std::nullopt;
        }
    }
    if (!portText.empty()) {
        if (!allDigits(portText) || portText.size() > 5)
            return std::nullopt;
        const int port = std::stoi(std::string(portText));
        if (port < 1 || port > 65535)
            return std::nullopt;
        result.port = static_cast<std::uint16_t>(port);
    }
    const std::size_t fragment = path.find('#');
    path = path.substr(0, fragment);
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F)
            return std::nullopt;
    }
    if (path.empty())
        result.path = "/";
    else if (path.front() == '?')
        result.path = "/" + std::string(path);
    else
        result.path = std::string(path);
    return result;
}

std::string HttpMessage::buildPost(const HttpUrl& url, std::string_view contentType, std::string_view body)
{
    QHostAddress plain = url.address;
    plain.setScopeId(QString());
    std::string host = plain.toString().toStdString();
    if (plain.protocol() == QAbstractSocket::IPv6Protocol)
        host = "[" + host + "]";
    std::string request;
    request.reserve(256 + body.size());
    request += "POST " + url.path + " HTTP/1.1\r\n";
    request += "Host: " + host + ":" + std::to_string(url.port) + "\r\n";
    request += "Content-Type: " + std::string(contentType) + "\r\n";
    request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    request += "Connection: close\r\n";
    request += "User-Agent: Quendle\r\n\r\n";
    request += body;
    return request;
}

HttpResponse HttpMessage::parseResponse(std::string_view received, bool peerClosed, std::size_t maxBody)
{
    HttpResponse incomplete{HttpState::Incomplete, {}};
    HttpResponse failed{HttpState::Failed, {}};
    const std::size_t headerEnd = received.substr(0, kMaxHeaderBytes + 4).find("\r\n\r\n");
    if (headerEnd == std::string_view::npos)
        return (peerClosed || received.size() > kMaxHeaderBytes) ? failed : incomplete;
    std::string_view head = received.substr(0, headerEnd + 2);
    std::size_t lineEnd = head.find("\r\n");
    if (!statusIsOk(head.substr(0, lineEnd)))
        return failed;
    std::optional<std::size_t> contentLength;
    bool chunked = false;
    for (std::size_t at = lineEnd + 2; at < head.size(); at = lineEnd + 2) {
        lineEnd = head.find("\r\n", at);
        const std::string_view line = head.substr(at, lineEnd - at);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 || line.front() == ' ' || line.front() == '\t')
            return failed; // no folded or nameless header lines
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = trim(line.substr(colon + 1));
        if (equalsNoCase(name, "Content-Length")) {
            if (!allDigits(value) || value.size() > 9)
                return failed;
            const std::size_t length = std::stoul(std::string(value));
            if (contentLength && *contentLength != length)
                return failed;
            contentLength = length;
        } else if (equalsNoCase(name, "Transfer-Encoding")) {
            if (!equalsNoCase(value, "chunked"))
                return failed;
            chunked = true;
        }
    }
    std::string_view rest = received.substr(headerEnd + 4);
    if (chunked) {
        std::string body;
        for (;;) {
            const std::size_t sizeEnd = rest.find("\r\n");
            if (sizeEnd == std::string_view::npos)
                return (peerClosed || rest.size() > 64) ? failed : incomplete;
            std::string_view sizeText = rest.substr(0, sizeEnd);
            sizeText = trim(sizeText.substr(0, sizeText.find(';')));
            if (sizeText.empty() || sizeText.size() > 8)
                return failed;
            std::size_t size = 0;
            for (const char c : sizeText) {
                if (!std::isxdigit(static_cast<unsigned char>(c)))
                    return failed;
                size = size * 16 + static_cast<std::size_t>(std::isdigit(static_cast<unsigned char>(c))
                                                                ? c - '0'
                                                                : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
            }
            rest.remove_prefix(sizeEnd + 2);
            if (size == 0)
                return {HttpState::Complete, std::move(body)}; // trailers, if any, are not needed
            if (size > maxBody - body.size())
                return failed;
            if (rest.size() < size + 2)
                return peerClosed ? failed : incomplete;
            if (rest.substr(size, 2) != "\r\n")
                return failed;
            body.append(rest.substr(0, size));
            rest.remove_prefix(size + 2);
        }
    }
    if (contentLength) {
        if (*contentLength > maxBody)
            return failed;
        if (rest.size() < *contentLength)
            return peerClosed ? failed : incomplete;
        return {HttpState::Complete, std::string(rest.substr(0, *contentLength))};
    }
    if (rest.size() > maxBody)
        return failed;
    return peerClosed ? HttpResponse{HttpState::Complete, std::string(rest)} : incomplete;
}

} // namespace qv
