// The metadata exchange's HTTP: which XAddrs URLs may be used at all, the request we
// send, and reading responses that are whole, cut short, oversized or malformed.
#include "platform/discovery/HttpMessage.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {

std::string show(const std::optional<HttpUrl>& url)
{
    return url ? url->address.toString().toStdString() + " " + std::to_string(url->port) + " " + url->path : "(refused)";
}

TEST(HttpMessage, OnlyHttpUrlsWithAddressLiteralsAndPlainPaths)
{
    const std::vector<std::pair<std::string, const char*>> rows = {
        {"http://192.0.2.32:5357/6d6f7269", "192.0.2.32 5357 /6d6f7269"},
        {"HTTP://192.0.2.32/", "192.0.2.32 80 /"},
        {"http://192.0.2.32", "192.0.2.32 80 /"},
        {"http://192.0.2.32:5357?x=1", "192.0.2.32 5357 /?x=1"},
        {"http://192.0.2.32:5357/a#fragment", "192.0.2.32 5357 /a"},
        {"http://[fe80::32%eth0]:5357/x", "fe80::32 5357 /x"}, // the sender's zone means nothing here
        {"http://[fe80::32%25eth0]:5357/x", "fe80::32 5357 /x"},
        {"http://[2001:db8::5]/a?b=c", "2001:db8::5 80 /a?b=c"},
        {"https://192.0.2.32/", "(refused)"}, {"ftp://192.0.2.32/", "(refused)"},
        {"http://mori5.local:5357/", "(refused)"}, {"http://user@192.0.2.32/", "(refused)"},
        {"http://192.0.2.32:0/", "(refused)"}, {"http://192.0.2.32:65536/", "(refused)"},
        {"http://192.0.2.32:/", "(refused)"}, {"http://192.0.2.32:80x/", "(refused)"},
        {"http://192.0.2/", "(refused)"}, {"http://192.0.2.256/", "(refused)"}, {"http://1.2.3.4.5/", "(refused)"},
        {"http://0x7f.0.0.1/", "(refused)"}, {"http://[::1/", "(refused)"}, {"http://[zz::1]/", "(refused)"},
        {"http://[192.0.2.32]/", "(refused)"}, {"http://[fe80::1]x/", "(refused)"}, {"http://", "(refused)"},
        {"http://192.0.2.32/a b", "(refused)"}, {"http://192.0.2.32/a\r\nX: y", "(refused)"},
        {"http://192.0.2.32/\xE6\x97\xA5", "(refused)"},
        {"http://192.0.2.32/" + std::string(HttpMessage::kMaxUrlBytes, 'a'), "(refused)"},
    };
    for (const auto& [url, expected] : rows)
        EXPECT_EQ(show(HttpMessage::parseUrl(url)), expected) << url;
}

TEST(HttpMessage, PostNamesHostPortAndLength)
{
    EXPECT_EQ(HttpMessage::buildPost(*HttpMessage::parseUrl("http://192.0.2.32:5357/6d6f"), "application/soap+xml", "<x/>"),
              "POST /6d6f HTTP/1.1\r\nHost: 192.0.2.32:5357\r\nContent-Type: application/soap+xml\r\n"
              "Content-Length: 4\r\nConnection: close\r\nUser-Agent: Quendle\r\n\r\n<x/>");
    HttpUrl v6 = *HttpMessage::parseUrl("http://[fe80::32]:5357/");
    v6.address.setScopeId("eth0");
    EXPECT_NE(HttpMessage::buildPost(v6, "t", "").find("\r\nHost: [fe80::32]:5357\r\n"), std::string::npos);
}

TEST(HttpMessage, ResponsesWholeCutOrMalformed)
{
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const std::string chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    struct Row {
        const char* what;
        std::string received;
        bool closed;
        const char* expected; // the body, or "(incomplete)" / "(failed)"
    };
    const std::vector<Row> rows = {
        {"length", ok + "Content-Length: 5\r\n\r\nhello world", false, "hello"},
        {"length, HTTP/1.0", "HTTP/1.0 200 OK\r\ncontent-length:  2 \r\n\r\nhi", false, "hi"},
        {"length, partial", ok + "Content-Length: 5\r\n\r\nhel", false, "(incomplete)"},
        {"length, closed early", ok + "Content-Length: 5\r\n\r\nhel", true, "(failed)"},
        {"chunked", chunked + "5\r\nhello\r\n6;ext=1\r\n world\r\n0\r\n\r\n", false, "hello world"},
        {"chunked, partial", chunked + "5\r\nhel", false, "(incomplete)"},
        {"chunked, bad size", chunked + "zz\r\nhello\r\n0\r\n\r\n", false, "(failed)"},
        {"chunked, data longer than said", chunked + "2\r\nhello\r\n0\r\n\r\n", false, "(failed)"},
        {"chunked, chunk past the limit", chunked + "FFFFFF\r\n", false, "(failed)"},
        {"chunked, endless size line", chunked + std::string(100, '1'), false, "(failed)"},
        {"to the close", ok + "\r\nbody", true, "body"},
        {"to the close, still open", ok + "\r\nbody", false, "(incomplete)"},
        {"headers still coming", ok + "Content-Le", false, "(incomplete)"},
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", false, "(failed)"},
        {"four-digit status", "HTTP/1.1 2000 OK\r\n\r\n", true, "(failed)"},
        {"not HTTP", "SSH-2.0-OpenSSH\r\n\r\n", true, "(failed)"},
        {"length past the limit", ok + "Content-Length: 99999999\r\n\r\n", false, "(failed)"},
        {"two lengths", ok + "Content-Length: 5\r\nContent-Length: 6\r\n\r\nhello!", false, "(failed)"},
        {"negative length", ok + "Content-Length: -1\r\n\r\n", false, "(failed)"},
        {"header without colon", ok + "Garbage\r\n\r\n", true, "(failed)"},
        {"folded header", ok + "X-A: 1\r\n continued\r\n\r\n", true, "(failed)"},
        {"other transfer coding", ok + "Transfer-Encoding: gzip\r\n\r\n", true, "(failed)"},
        {"endless headers", ok + "X-Pad: " + std::string(HttpMessage::kMaxHeaderBytes, 'p'), false, "(failed)"},
        {"body past the limit at the close", ok + "\r\n" + std::string(70000, 'b'), true, "(failed)"},
        {"closed before any header", "HTTP/1.1 200", true, "(failed)"},
    };
    for (const Row& row : rows) {
        const HttpResponse r = HttpMessage::parseResponse(row.received, row.closed, 65536);
        const std::string got = r.state == HttpState::Complete ? r.body
                                : r.state == HttpState::Incomplete ? "(incomplete)" : "(failed)";
        EXPECT_EQ(got, row.expected) << row.what;
    }
}

} // namespace
