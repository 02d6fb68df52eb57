// The socket side of discovery against responders on 127.0.0.0/8 only: the metadata
// fetch against servers that answer garbage, too much or too slowly, and the node-status
// sweep (through the poll loop a real round uses, on a plain std::thread with no Qt
// event loop) against answers that are right, wrong or not ours.
#include "platform/discovery/DiscoveryLoop.h"
#include "platform/discovery/HttpExchange.h"
#include "platform/discovery/LanDiscovery.h"
#include "platform/discovery/NbnsMessage.h"
#include "platform/discovery/NetbiosSweep.h"
#include "platform/discovery/WsdMessage.h"
#include "tests/discovery/SamplePackets.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace qv;
using namespace qv::test;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

int boundSocket(int type, const char* address, std::uint16_t port)
{
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &sa.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::uint16_t portOf(int fd)
{
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    return ntohs(sa.sin_port);
}

void sendAll(int fd, const std::string& data)
{
    for (std::size_t sent = 0; sent < data.size();) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

void waitFor(const std::atomic<bool>& stop)
{
    while (!stop)
        std::this_thread::sleep_for(5ms);
}

// A one-connection HTTP server on 127.0.0.1: takes the request (headers and body), then
// lets the behaviour answer, or not, until the test is over.
class LoopbackHttpServer {
public:
    using Behaviour = std::function<void(int fd, const std::atomic<bool>& stop)>;

    explicit LoopbackHttpServer(Behaviour behaviour)
        : m_listener(boundSocket(SOCK_STREAM, "127.0.0.1", 0))
    {
        ::listen(m_listener, 1);
        m_thread = std::thread([this, behaviour] {
            pollfd p{m_listener, POLLIN, 0};
            if (::poll(&p, 1, 5000) != 1)
                return;
            const int fd = ::accept(m_listener, nullptr, nullptr);
            std::string request;
            char buffer[4096];
            for (int i = 0; i < 100 && request.find("</soap:Envelope>") == std::string::npos; ++i) {
                pollfd c{fd, POLLIN, 0};
                const ssize_t n = ::poll(&c, 1, 20) == 1 ? ::recv(fd, buffer, sizeof buffer, 0) : 0;
                request.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
            }
            {
                std::lock_guard lock(m_mutex);
                m_request = request;
            }
            behaviour(fd, m_stop);
            ::close(fd);
        });
    }
    ~LoopbackHttpServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    std::uint16_t port() const { return portOf(m_listener); }
    std::string request()
    {
        std::lock_guard lock(m_mutex);
        return m_request;
    }

private:
    int m_listener;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::string m_request;
    std::thread m_thread;
};

struct Fetched {
    HttpExchange::Phase phase;
    std::string body;
    double seconds;
};

// One metadata fetch, driven as WsdProbe drives it.
Fetched fetch(std::uint16_t port, std::chrono::milliseconds budget)
{
    const auto url = HttpMessage::parseUrl("http://127.0.0.1:" + std::to_string(port) + "/6d6f");
    const std::string get = WsdMessage::buildGet("urn:uuid:1", "urn:uuid:6d6f7269-3500-4d6f-9269-000000000032");
    const auto start = Clock::now();
    HttpExchange exchange(url->address, url->port, HttpMessage::buildPost(*url, WsdMessage::kContentType, get),
                          start + budget, 64 * 1024);
    while (!exchange.finished() && Clock::now() < start + budget + 1s) {
        pollfd p{exchange.descriptor(), exchange.wantedEvents(), 0};
        ::poll(&p, 1, 10);
        exchange.advance(p.revents, Clock::now());
    }
    return {exchange.phase(), exchange.body(), std::chrono::duration<double>(Clock::now() - start).count()};
}

std::string httpOk(const std::string& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(MetadataFetch, ReadsTheComputerFromAWellBehavedServer)
{
    const std::string metadata = SamplePackets::getResponse("MORI5/Workgroup:WSDGROUP");
    LoopbackHttpServer server([&](int fd, const std::atomic<bool>&) { sendAll(fd, httpOk(metadata)); });
    const Fetched f = fetch(server.port(), 2000ms);
    ASSERT_EQ(f.phase, HttpExchange::Phase::Done);
    const auto computer = WsdMessage::parseMetadata(f.body);
    ASSERT_TRUE(computer);
    EXPECT_EQ(computer->name + "|" + computer->workgroup, "MORI5|WSDGROUP");
    const std::string request = server.request();
    EXPECT_EQ(request.rfind("POST /6d6f HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("<wsa:To>urn:uuid:6d6f7269-3500-4d6f-9269-000000000032</wsa:To>"), std::string::npos);
}

TEST(MetadataFetch, HostileServersEndInFailureWithinTheBudget)
{
    const std::string metadata = SamplePackets::getResponse("MORI5");
    struct Row {
        const char* what;
        LoopbackHttpServer::Behaviour behaviour;
        double atLeast; // the stalls end only at the deadline
    };
    const std::vector<Row> rows = {
        {"garbage", [](int fd, const auto&) { sendAll(fd, std::string("\x00\x01\xFF garbage\r\n\r\n", 14)); }, 0},
        {"huge announced body", [](int fd, const auto& stop) {
             sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 10000000\r\n\r\n");
             waitFor(stop);
         }, 0},
        {"endless body without length", [](int fd, const auto& stop) {
             sendAll(fd, "HTTP/1.1 200 OK\r\n\r\n");
             const std::string block(65536, 'x');
             while (!stop && (::send(fd, block.data(), block.size(), MSG_NOSIGNAL | MSG_DONTWAIT) > 0 || errno == EAGAIN))
                 std::this_thread::sleep_for(1ms);
         }, 0},
        {"never answers", [](int, const auto& stop) { waitFor(stop); }, 0.45},
        {"one byte at a time", [&](int fd, const auto& stop) {
             const std::string response = httpOk(metadata);
             for (std::size_t i = 0; i < response.size() && !stop; ++i) {
                 sendAll(fd, response.substr(i, 1));
                 std::this_thread::sleep_for(20ms);
             }
         }, 0.45},
        {"not found", [](int fd, const auto&) { sendAll(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"); }, 0},
        {"closes early", [](int fd, const auto&) { sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n<x"); }, 0},
    };
    for (const Row& row : rows) {
        LoopbackHttpServer server(row.behaviour);
        const Fetched f = fetch(server.port(), 500ms);
        EXPECT_EQ(f.phase, HttpExchange::Phase::Failed) << row.what;
        EXPECT_EQ(f.body, "") << row.what;
        EXPECT_LT(f.seconds, 0.6) << row.what;
        EXPECT_GE(f.seconds, row.atLeast) << row.what;
    }
    const int closed = boundSocket(SOCK_STREAM, "127.0.0.1", 0); // bound, never listening: refused
    const Fetched refused = fetch(portOf(closed), 2000ms);
    ::close(closed);
    EXPECT_EQ(refused.phase, HttpExchange::Phase::Failed);
    EXPECT_LT(refused.seconds, 0.5);
}

// Node-status responders on loopback addresses, all on the port the sweep is told to
// use: a proper one (with an impostor outside the swept /24 answering as well), one
// that sends garbage, one with the wrong transaction ID, one answering from another port.
class NameServers {
public:
    NameServers()
    {
        m_sockets.push_back(boundSocket(SOCK_DGRAM, "127.0.0.7", 0));
        m_port = portOf(m_sockets[0]);
        for (const char* a : {"127.0.0.9", "127.0.0.11", "127.0.0.13", "127.0.1.5"})
            m_sockets.push_back(boundSocket(SOCK_DGRAM, a, m_port));
        m_sockets.push_back(boundSocket(SOCK_DGRAM, "127.0.0.13", 0));
        m_thread = std::thread([this] { serve(); });
    }
    ~NameServers()
    {
        m_stop = true;
        m_thread.join();
        for (int fd : m_sockets)
            ::close(fd);
    }
    bool ready() const { return std::find(m_sockets.begin(), m_sockets.end(), -1) == m_sockets.end(); }
    std::uint16_t port() const { return m_port; }
    int requestsSeen() const { return m_requests; }

private:
    void serve()
    {
        std::vector<pollfd> fds;
        for (int i = 0; i < 4; ++i)
            fds.push_back({m_sockets[static_cast<std::size_t>(i)], POLLIN, 0});
        while (!m_stop) {
            if (::poll(fds.data(), fds.size(), 10) <= 0)
                continue;
            for (std::size_t i = 0; i < fds.size(); ++i) {
                char buffer[512];
                sockaddr_in from{};
                socklen_t len = sizeof from;
                const ssize_t n = (fds[i].revents & POLLIN)
                    ? ::recvfrom(fds[i].fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len) : 0;
                const std::string request(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
                if (n < 2 || request.substr(2) != NbnsMessage::buildNodeStatusRequest(0).substr(2))
                    continue;
                ++m_requests;
                const unsigned id = (static_cast<unsigned char>(request[0]) << 8) | static_cast<unsigned char>(request[1]);
                const auto reply = [&](int fd, const std::string& bytes) {
                    ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&from), len);
                };
                const auto answer = [](unsigned withId, const char* name) {
                    return SamplePackets::nodeStatusAnswer({{name, 0x00, 0x0400}, {"WG7", 0x00, 0x8400}}, withId);
                };
                if (i == 0) {
                    reply(m_sockets[0], answer(id, "NBHOST7"));
                    reply(m_sockets[4], answer(id, "STRANGER"));
                } else if (i == 1) {
                    reply(fds[i].fd, "\x01\x02garbage");
                } else if (i == 2) {
                    reply(fds[i].fd, answer(id ^ 1, "WRONGID"));
                } else {
                    reply(m_sockets[5], answer(id, "WRONGPORT"));
                }
            }
        }
    }

    std::vector<int> m_sockets;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};

LocalSubnets loopbackSubnet(const char* own, int prefix)
{
    return LocalSubnets({LocalAddress{QHostAddress(QString::fromLatin1(own)), prefix, 1, "lo", false}});
}

TEST(NetbiosSweepLoopback, ReportsOnlyProperAnswersFromSweptAddresses)
{
    NameServers servers;
    ASSERT_TRUE(servers.ready());
    const LocalSubnets subnets = loopbackSubnet("127.0.0.1", 24);
    std::vector<std::string> found;
    std::size_t sent = 0;
    // A plain thread, as the application's worker is: no Qt event loop, no QCoreApplication.
    std::thread worker([&] {
        auto sweep = std::make_unique<NetbiosSweep>(
            subnets, [&](const DiscoveredHost& h) { found.push_back(h.name + "|" + h.workgroup + "|" + h.address); },
            servers.port());
        NetbiosSweep* raw = sweep.get();
        std::vector<std::unique_ptr<DiscoveryTask>> tasks;
        tasks.push_back(std::move(sweep));
        DiscoveryLoop::run(tasks, Clock::now() + 800ms, nullptr);
        sent = raw->sentCount();
    });
    worker.join();
    EXPECT_EQ(sent, 253u);
    EXPECT_EQ(servers.requestsSeen(), 4);
    EXPECT_EQ(found, std::vector<std::string>{"NBHOST7|WG7|127.0.0.7"});
}

TEST(NetbiosSweepLoopback, ASlash22GoesOutInPacedBurstsWithinAboutASecond)
{
    // Port 9 (discard) on loopback: nobody answers, nothing leaves the machine.
    const LocalSubnets subnets = loopbackSubnet("127.0.5.1", 22);
    NetbiosSweep sweep(subnets, [](const DiscoveredHost&) {}, 9);
    const auto start = Clock::now();
    ASSERT_TRUE(sweep.start(start));
    EXPECT_EQ(sweep.targetCount(), 1021u);
    EXPECT_EQ(sweep.sentCount(), NetbiosSweep::kBurst) << "one burst at the start, the rest paced";
    std::vector<pollfd> fds;
    while (sweep.sentCount() < sweep.targetCount() && Clock::now() < start + 3s) {
        std::this_thread::sleep_until(std::min(sweep.nextDue(), Clock::now() + 20ms));
        fds.clear();
        sweep.watch(fds);
        ::poll(fds.data(), fds.size(), 0);
        sweep.advance(fds, Clock::now());
    }
    const auto took = Clock::now() - start;
    EXPECT_EQ(sweep.sentCount(), 1021u);
    EXPECT_GT(took, 850ms) << "sent faster than paced";
    EXPECT_LT(took, 1500ms);
    EXPECT_EQ(sweep.nextDue(), Clock::time_point::max()) << "nothing left to send";
}

TEST(NetbiosSweepLoopback, CancelEndsTheRoundWithin50Ms)
{
    const LocalSubnets subnets = loopbackSubnet("127.0.5.1", 22);
    std::atomic<bool> cancel{false};
    std::vector<std::unique_ptr<DiscoveryTask>> tasks;
    tasks.push_back(std::make_unique<NetbiosSweep>(subnets, [](const DiscoveredHost&) {}, 9));
    std::atomic<Clock::rep> cancelledAt{0};
    std::thread canceller([&] {
        std::this_thread::sleep_for(150ms);
        cancelledAt = Clock::now().time_since_epoch().count();
        cancel = true;
    });
    DiscoveryLoop::run(tasks, Clock::now() + 5s, &cancel);
    const auto returned = Clock::now();
    canceller.join();
    EXPECT_LT(returned - Clock::time_point(Clock::duration(cancelledAt.load())), 50ms);
}

TEST(LanDiscovery, SwitchedOffByTheEnvironmentSendsNothing)
{
    const char* saved = std::getenv("QV_DISCOVERY");
    const std::string previous = saved ? saved : "";
    setenv("QV_DISCOVERY", "1", 1);
    EXPECT_TRUE(LanDiscovery::enabledByEnvironment());
    unsetenv("QV_DISCOVERY");
    EXPECT_TRUE(LanDiscovery::enabledByEnvironment());
    setenv("QV_DISCOVERY", "0", 1);
    EXPECT_FALSE(LanDiscovery::enabledByEnvironment());
    int calls = 0;
    const auto start = Clock::now();
    EXPECT_TRUE(LanDiscovery::run(DiscoveryOptions{}, [&](const DiscoveredHost&) { ++calls; }).empty());
    EXPECT_LT(Clock::now() - start, 50ms);
    EXPECT_EQ(calls, 0);
    if (saved)
        setenv("QV_DISCOVERY", previous.c_str(), 1);
}

} // namespace
