// fake-discovery-peers: a WS-Discovery device (with its metadata server) and an mDNS
// responder on one interface of an isolated network namespace, for end-to-end rounds
// of qv-discover without the test LAN. Some answers are hostile on purpose.
//   fake-discovery-peers IFNAME ADDRESS OTHER_SUBNET_ADDRESS OFF_SUBNETS_ADDRESS LIFETIME_MS
// Run it only inside `unshare -n`: it joins multicast groups and answers whoever asks.
#include "tests/discovery/PacketWriter.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

using qv::test::PacketWriter;

namespace {

std::string g_address;     // ours, dotted quad
std::string g_otherSubnet; // another local subnet's address
std::string g_offSubnets;  // an address on none of the client's subnets

int udpMember(const char* group, std::uint16_t port, unsigned ifindex)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
        return -1;
    ip_mreqn req{};
    ::inet_pton(AF_INET, group, &req.imr_multiaddr);
    req.imr_ifindex = static_cast<int>(ifindex);
    if (::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &req, sizeof req) != 0)
        return -1;
    return fd;
}

// The text of the first element with this local name, whatever its prefix.
std::string element(const std::string& xml, const std::string& localName)
{
    const std::size_t open = xml.find(":" + localName + ">");
    if (open == std::string::npos)
        return {};
    const std::size_t start = open + localName.size() + 2;
    return xml.substr(start, xml.find('<', start) - start);
}

std::string envelope(const std::string& action, const std::string& relatesTo, const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\""
           " xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
           " xmlns:wsd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
           " xmlns:wsx=\"http://schemas.xmlsoap.org/ws/2004/09/mex\""
           " xmlns:pub=\"http://schemas.microsoft.com/windows/pub/2005/07\"><soap:Header>"
           "<wsa:Action>" + action + "</wsa:Action><wsa:MessageID>urn:uuid:fake</wsa:MessageID>"
           "<wsa:RelatesTo>" + relatesTo + "</wsa:RelatesTo></soap:Header><soap:Body>" + body + "</soap:Body></soap:Envelope>";
}

std::string match(const std::string& kind, const std::string& endpoint, const std::string& xaddrs)
{
    return "<wsd:" + kind + "><wsa:EndpointReference><wsa:Address>" + endpoint + "</wsa:Address></wsa:EndpointReference>"
           + (xaddrs.empty() ? "" : "<wsd:XAddrs>" + xaddrs + "</wsd:XAddrs>") + "</wsd:" + kind + ">";
}

void answerWsd(int fd)
{
    char buffer[65536];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n <= 0)
        return;
    const std::string message(buffer, static_cast<std::size_t>(n));
    const std::string id = element(message, "MessageID");
    std::string reply;
    if (message.find("discovery/Probe<") != std::string::npos) {
        // One device with its address, one that must be resolved, and two that lead to
        // addresses the subnet guard must refuse (reachable here, so that a guard that
        // let them through would show): a local subnet other than ours, and an address
        // on no subnet of ours at all.
        reply = envelope("http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches", id,
                         "<wsd:ProbeMatches>"
                             + match("ProbeMatch", "urn:uuid:aaaa", "http://" + g_address + ":5357/aaaa")
                             + match("ProbeMatch", "urn:uuid:bbbb", "")
                             + match("ProbeMatch", "urn:uuid:cccc", "http://" + g_otherSubnet + ":5357/cccc")
                             + match("ProbeMatch", "urn:uuid:dddd", "http://" + g_offSubnets + ":5357/dddd")
                             + "</wsd:ProbeMatches>");
    } else if (message.find("discovery/Resolve<") != std::string::npos
               && message.find("urn:uuid:bbbb") != std::string::npos) {
        reply = envelope("http://schemas.xmlsoap.org/ws/2005/04/discovery/ResolveMatches", id,
                         "<wsd:ResolveMatches>" + match("ResolveMatch", "urn:uuid:bbbb", "http://" + g_address + ":5357/bbbb")
                             + "</wsd:ResolveMatches>");
    }
    if (!reply.empty())
        ::sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
}

void answerHttp(int listener)
{
    const int fd = ::accept(listener, nullptr, nullptr);
    if (fd < 0)
        return;
    std::string request;
    char buffer[4096];
    for (int i = 0; i < 100 && request.find("</soap:Envelope>") == std::string::npos; ++i) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) == 1) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
    }
    std::string computer = "TRAPPED/Workgroup:TRAP";
    if (request.rfind("POST /aaaa ", 0) == 0)
        computer = "FAKEWSD/Workgroup:FAKEGROUP";
    else if (request.rfind("POST /bbbb ", 0) == 0)
        computer = "RESOLVED/Domain:FAKE.DOMAIN";
    const std::string body = envelope("http://schemas.xmlsoap.org/ws/2004/09/transfer/GetResponse", element(request, "MessageID"),
                                      "<wsx:Metadata><pub:Computer>" + computer + "</pub:Computer></wsx:Metadata>");
    const std::string response = "HTTP/1.0 200 OK\r\nContent-Type: application/soap+xml\r\nContent-Length: "
                                 + std::to_string(body.size()) + "\r\n\r\n" + body;
    ::send(fd, response.data(), response.size(), MSG_NOSIGNAL);
    ::close(fd);
}

void answerMdns(int fd)
{
    char buffer[9000];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 12)
        return;
    const unsigned id = (static_cast<unsigned char>(buffer[0]) << 8) | static_cast<unsigned char>(buffer[1]);
    const std::string question(buffer + 12, static_cast<std::size_t>(n) - 12);
    PacketWriter w;
    if (question.find("\x04_smb\x04_tcp\x05local") == 0) {
        // Three instances: one whose host's address is left for a second question, one
        // whose host label has a backslash, one whose host lies off our subnets (both
        // must be refused).
        w.header(id, 0x8400, 0, 3, 0, 5);
        w.name("_smb._tcp.local").u16(12).u16(1).u32(10);
        std::size_t d = w.beginData();
        w.name("fakemdns._smb._tcp.local").endData(d);
        w.name("_smb._tcp.local").u16(12).u16(1).u32(10);
        d = w.beginData();
        w.name("evil._smb._tcp.local").endData(d);
        w.name("_smb._tcp.local").u16(12).u16(1).u32(10);
        d = w.beginData();
        w.name("far._smb._tcp.local").endData(d);
        w.name("far._smb._tcp.local").u16(33).u16(0x8001).u32(10);
        d = w.beginData();
        w.u16(0).u16(0).u16(445).name("far.local").endData(d);
        w.name("far.local").u16(1).u16(0x8001).u32(10);
        d = w.beginData();
        w.u32(ntohl(inet_addr(g_offSubnets.c_str()))).endData(d);
        w.name("fakemdns._smb._tcp.local").u16(33).u16(0x8001).u32(10);
        d = w.beginData();
        w.u16(0).u16(0).u16(445).name("fakemdns.local").endData(d);
        w.name("evil._smb._tcp.local").u16(33).u16(0x8001).u32(10);
        d = w.beginData();
        w.u16(0).u16(0).u16(445).name("ev\\il.local").endData(d);
        w.name("ev\\il.local").u16(1).u16(0x8001).u32(10);
        d = w.beginData();
        w.u32(ntohl(inet_addr(g_address.c_str()))).endData(d);
    } else if (question.find("\x08" "fakemdns\x05local") == 0) {
        w.header(id, 0x8400, 0, 1, 0, 0).name("fakemdns.local").u16(1).u16(0x8001).u32(10);
        const std::size_t d = w.beginData();
        w.u32(ntohl(inet_addr(g_address.c_str()))).endData(d);
    } else {
        return;
    }
    ::sendto(fd, w.bytes().data(), w.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: fake-discovery-peers IFNAME ADDRESS OTHER_SUBNET_ADDRESS OFF_SUBNETS_ADDRESS "
                             "LIFETIME_MS\n");
        return 2;
    }
    // The peers outlive the round they serve: descriptors inherited from whoever
    // started them (a test's output pipes) must not be held open that long.
    ::close_range(3, ~0u, 0);
    const unsigned ifindex = if_nametoindex(argv[1]);
    g_address = argv[2];
    g_otherSubnet = argv[3];
    g_offSubnets = argv[4];
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atoi(argv[5]));
    const int wsd = udpMember("239.255.255.250", 3702, ifindex);
    const int mdns = udpMember("224.0.0.251", 5353, ifindex);
    const int http = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(5357);
    sa.sin_addr.s_addr = htonl(INADDR_ANY); // every address: the traps must be reachable
    if (ifindex == 0 || wsd < 0 || mdns < 0 || ::bind(http, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0
        || ::listen(http, 8) != 0) {
        std::perror("fake-discovery-peers");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    pollfd fds[] = {{wsd, POLLIN, 0}, {mdns, POLLIN, 0}, {http, POLLIN, 0}};
    while (std::chrono::steady_clock::now() < end) {
        if (::poll(fds, 3, 20) <= 0)
            continue;
        if (fds[0].revents & POLLIN)
            answerWsd(wsd);
        if (fds[1].revents & POLLIN)
            answerMdns(mdns);
        if (fds[2].revents & POLLIN)
            answerHttp(http);
    }
    return 0;
}
