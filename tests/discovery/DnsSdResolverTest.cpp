// Following DNS-SD answers from a service to its hosts: what is asked again when an
// answer leaves something out, when an IPv6-only host is taken, and which records may
// not lead anywhere (other services, goodbyes, addresses off our subnets, bad names).
#include "platform/discovery/DnsSdResolver.h"

#include <gtest/gtest.h>

using namespace qv;
using Clock = DnsSdResolver::Clock;
using namespace std::chrono_literals;

namespace {

// A record from text: "PTR _smb._tcp.local h._smb._tcp.local", "SRV owner target",
// "A owner 192.0.2.33", "AAAA owner fe80::33"; ttl 0 makes it a goodbye.
DnsRecord rr(const std::string& text, std::uint32_t ttl = 120, std::uint16_t rclass = DnsMessage::kClassIn)
{
    const std::size_t a = text.find(' ');
    const std::size_t b = text.find(' ', a + 1);
    const std::string type = text.substr(0, a);
    const std::string value = text.substr(b + 1);
    DnsRecord r;
    r.name = DnsMessage::nameFromText(text.substr(a + 1, b - a - 1));
    r.type = type == "PTR" ? DnsMessage::Ptr : type == "SRV" ? DnsMessage::Srv : type == "A" ? DnsMessage::A : DnsMessage::Aaaa;
    r.rclass = rclass;
    r.ttl = ttl;
    if (r.type == DnsMessage::Ptr || r.type == DnsMessage::Srv) {
        r.target = DnsMessage::nameFromText(value);
    } else {
        const QHostAddress address(QString::fromStdString(value));
        const Q_IPV6ADDR v6 = address.toIPv6Address();
        const std::uint32_t v4 = address.toIPv4Address();
        for (int i = 0; i < 16; ++i)
            r.address[i] = r.type == DnsMessage::A ? (i < 4 ? static_cast<std::uint8_t>(v4 >> (24 - 8 * i)) : 0) : v6.c[i];
    }
    return r;
}

DnsPacket packet(std::vector<DnsRecord> records)
{
    DnsPacket p;
    p.flags = 0x8400;
    p.records = std::move(records);
    return p;
}

std::string asked(const std::vector<DnsSdQuestion>& list)
{
    std::string out;
    for (const DnsSdQuestion& q : list)
        out += (q.type == DnsMessage::Srv ? "SRV " : "A ") + DnsMessage::nameText(q.name) + ";";
    return out;
}

std::string found(const std::vector<DiscoveredHost>& list)
{
    std::string out;
    for (const DiscoveredHost& h : list)
        out += h.name + "|" + h.workgroup + "|" + h.address + ";";
    return out;
}

LocalSubnets ourLink()
{
    return LocalSubnets({LocalAddress{QHostAddress("192.0.2.100"), 24, 2, "eth0", true},
                         LocalAddress{QHostAddress("fe80::100%eth0"), 64, 2, "eth0", true}});
}

const DnsName kService = DnsMessage::nameFromText("_smb._tcp.local");
const QHostAddress kSender("192.0.2.33");

TEST(DnsSdResolver, OneAnswerWithEverythingGivesTheHostAtOnce)
{
    const LocalSubnets subnets = ourLink();
    DnsSdResolver resolver(kService, subnets);
    const auto t0 = Clock::now();
    // In any order within the packet, names compared without regard to case.
    resolver.take(packet({rr("A HAYASHI6.local 192.0.2.33"), rr("SRV hayashi6._smb._tcp.local hayashi6.local"),
                          rr("PTR _smb._tcp.local Hayashi6._SMB._tcp.local")}),
                  kSender);
    EXPECT_EQ(asked(resolver.dueQuestions(t0)), "");
    EXPECT_EQ(found(resolver.readyHosts(t0)), "hayashi6|local|192.0.2.33;");
    EXPECT_EQ(found(resolver.readyHosts(t0)), "") << "each instance once";
    EXPECT_EQ(resolver.nextDue(), Clock::time_point::max());
}

TEST(DnsSdResolver, WhatTheAnswersLeaveOutIsAskedForTwiceAtMost)
{
    const LocalSubnets subnets = ourLink();
    DnsSdResolver resolver(kService, subnets);
    const auto t0 = Clock::now();
    resolver.take(packet({rr("PTR _smb._tcp.local hayashi6._smb._tcp.local")}), kSender);
    EXPECT_EQ(asked(resolver.dueQuestions(t0)), "SRV hayashi6._smb._tcp.local;");
    EXPECT_EQ(asked(resolver.dueQuestions(t0 + 100ms)), "");
    EXPECT_EQ(resolver.nextDue(), t0 + DnsSdResolver::kAskAgainAfter);
    EXPECT_EQ(asked(resolver.dueQuestions(t0 + 500ms)), "SRV hayashi6._smb._tcp.local;");
    EXPECT_EQ(asked(resolver.dueQuestions(t0 + 2s)), "");

    resolver.take(packet({rr("SRV hayashi6._smb._tcp.local hayashi6.local")}), kSender);
    EXPECT_EQ(found(resolver.readyHosts(t0 + 2s)), "");
    EXPECT_EQ(asked(resolver.dueQuestions(t0 + 2s)), "A hayashi6.local;");
    EXPECT_EQ(asked(resolver.dueQuestions(t0 + 2500ms)), "A hayashi6.local;");
    EXPECT_EQ(asked(resolver.dueQuestions(t0 + 4s)), "");
    resolver.take(packet({rr("A hayashi6.local 192.0.2.33")}), kSender);
    EXPECT_EQ(found(resolver.readyHosts(t0 + 4s)), "hayashi6|local|192.0.2.33;");
}

TEST(DnsSdResolver, AnIpv6OnlyHostIsTakenAfterTheWaitForIpv4)
{
    const LocalSubnets subnets = ourLink();
    DnsSdResolver resolver(kService, subnets);
    const auto t0 = Clock::now();
    resolver.take(packet({rr("PTR _smb._tcp.local h._smb._tcp.local"), rr("SRV h._smb._tcp.local h.local"),
                          rr("AAAA h.local fe80::33")}),
                  QHostAddress("fe80::33%eth0"));
    EXPECT_EQ(asked(resolver.dueQuestions(t0)), "A h.local;");
    EXPECT_EQ(found(resolver.readyHosts(t0 + 299ms)), "");
    EXPECT_EQ(resolver.nextDue(), t0 + DnsSdResolver::kWaitForIpv4);
    EXPECT_EQ(found(resolver.readyHosts(t0 + 300ms)), "h|local|fe80::33%eth0;");
    EXPECT_GT(resolver.nextDue(), t0 + 300ms) << "nothing left to wait for once the host is reported";
}

TEST(DnsSdResolver, RecordsThatMayNotLeadAnywhere)
{
    const LocalSubnets subnets = ourLink();
    const DnsRecord ptr = rr("PTR _smb._tcp.local h._smb._tcp.local");
    const DnsRecord srv = rr("SRV h._smb._tcp.local h.local");
    const std::vector<std::pair<const char*, std::vector<DnsRecord>>> rows = {
        {"address off our subnets", {ptr, srv, rr("A h.local 203.0.113.5")}},
        {"our subnet's broadcast address", {ptr, srv, rr("A h.local 192.0.2.255")}},
        {"link-local address heard over IPv4", {ptr, srv, rr("AAAA h.local fe80::33")}},
        {"host label with a control character", {ptr, rr("SRV h._smb._tcp.local h\x01x.local"), rr("A h\x01x.local 192.0.2.33")}},
        {"host label with a backslash", {ptr, rr("SRV h._smb._tcp.local h\\x.local"), rr("A h\\x.local 192.0.2.33")}},
        {"goodbye", {rr("PTR _smb._tcp.local h._smb._tcp.local", 0), srv, rr("A h.local 192.0.2.33")}},
        {"another service", {rr("PTR _http._tcp.local h._http._tcp.local"), rr("SRV h._http._tcp.local h.local"),
                             rr("A h.local 192.0.2.33")}},
        {"instance of two labels", {rr("PTR _smb._tcp.local a.b._smb._tcp.local"), rr("SRV a.b._smb._tcp.local h.local"),
                                    rr("A h.local 192.0.2.33")}},
        {"SRV of an instance nobody announced", {srv, rr("A h.local 192.0.2.33")}},
        {"address of another class", {ptr, srv, rr("A h.local 192.0.2.33", 120, 3)}},
    };
    for (const auto& [what, records] : rows) {
        DnsSdResolver resolver(kService, subnets);
        resolver.take(packet(records), kSender);
        resolver.dueQuestions(Clock::now());
        EXPECT_EQ(found(resolver.readyHosts(Clock::now() + 5s)), "") << what;
    }
}

} // namespace
