// The little HTTP/1.1 that fetching a device's metadata needs: parsing an http URL
// whose host is an address literal, building a POST, and reading a response with a
// bounded body (Content-Length, chunked, or up to the close).
#pragma once

#include <QHostAddress>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

struct HttpUrl {
    QHostAddress address; // as written: an IPv6 zone in the URL is not kept (it names the sender's interface)
    std::uint16_t port = 80;
    std::string path = "/"; // path and query, as sent on the request line
};

enum class HttpState { Incomplete, Complete, Failed };

struct HttpResponse {
    HttpState state = HttpState::Incomplete;
    std::string body; // when Complete
};

class HttpMessage final {
public:
    static constexpr std::size_t kMaxHeaderBytes = 8192;
    static constexpr std::size_t kMaxUrlBytes = 2048;

    // "http://192.0.2.31:5357/uuid" or "http://[fe80::1%eth0]/x": only plain http
    // with an IPv4 or IPv6 address literal (a name would need a lookup we cannot vet
    // before connecting), no user part, a port from 1 to 65535, and a path of
    // printable ASCII (so nothing from the URL can break the request line).
    static std::optional<HttpUrl> parseUrl(std::string_view url);

    static std::string buildPost(const HttpUrl& url, std::string_view contentType, std::string_view body);

    // Reads what has arrived so far. Complete only for status 200 with the whole body;
    // Failed as soon as the response cannot become one (another status, a bad header,
    // a body or header past its limit, the peer closing early).
    static HttpResponse parseResponse(std::string_view received, bool peerClosed, std::size_t maxBody);
};

} // namespace qv
