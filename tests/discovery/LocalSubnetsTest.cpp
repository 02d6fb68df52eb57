// The subnet guard (which answers may send us on to which addresses), the sweep's
// address lists, and the rules for names that come off the network.
#include "platform/discovery/DiscoveryName.h"
#include "platform/discovery/LocalSubnets.h"
#include "platform/discovery/WsdProbe.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {

QHostAddress addr(const char* text)
{
    return QHostAddress(QString::fromLatin1(text));
}

// "count first..last" of a sweep, for a compact comparison.
std::string sweep(const char* own, int prefix)
{
    const auto list = LocalSubnets::sweepOf(addr(own).toIPv4Address(), prefix);
    if (list.empty())
        return "none";
    EXPECT_EQ(std::count(list.begin(), list.end(), addr(own).toIPv4Address()), 0) << own;
    return std::to_string(list.size()) + " " + QHostAddress(list.front()).toString().toStdString() + ".."
           + QHostAddress(list.back()).toString().toStdString();
}

LocalAddress entry(const char* address, int prefix, unsigned index, const char* name)
{
    return LocalAddress{addr(address), prefix, index, QString::fromLatin1(name), true};
}

TEST(LocalSubnets, SweepCoversTheSubnetOrTheSlash22AroundUs)
{
    EXPECT_EQ(sweep("192.168.1.20", 24), "253 192.168.1.1..192.168.1.254");
    EXPECT_EQ(sweep("10.0.5.7", 22), "1021 10.0.4.1..10.0.7.254");
    // Inside a /16 the /22's first and last addresses are ordinary hosts...
    EXPECT_EQ(sweep("172.16.9.9", 16), "1023 172.16.8.0..172.16.11.255");
    // ... but the /16's own network address is not.
    EXPECT_EQ(sweep("172.16.1.1", 16), "1022 172.16.0.1..172.16.3.255");
    EXPECT_EQ(sweep("10.200.3.4", 8), "1023 10.200.0.0..10.200.3.255");
    EXPECT_EQ(sweep("255.255.255.254", 0), "1022 255.255.252.0..255.255.255.253");
    EXPECT_EQ(sweep("192.0.2.1", 30), "1 192.0.2.2..192.0.2.2");
    EXPECT_EQ(sweep("192.0.2.1", 31), "none");
    EXPECT_EQ(sweep("192.0.2.1", 32), "none");
    EXPECT_EQ(sweep("192.0.2.1", -1), "none");
}

TEST(LocalSubnets, SweepTargetsSkipOurAddressesAndRepeats)
{
    // Two interfaces on one /24 (both our addresses left out), a /31 link and IPv6.
    const LocalSubnets subnets({entry("192.0.2.100", 24, 2, "eth0"), entry("192.0.2.101", 24, 3, "eth1"),
                                entry("198.51.100.0", 31, 4, "p2p"), entry("fe80::1%eth0", 64, 2, "eth0")});
    const auto targets = subnets.sweepTargets();
    EXPECT_EQ(targets.size(), 252u);
    EXPECT_EQ(std::count(targets.begin(), targets.end(), addr("192.0.2.101")), 0);
    EXPECT_TRUE(LocalSubnets().sweepTargets().empty());
}

// A client on two IPv4 subnets, with a link-local and a global IPv6 address on the first.
LocalSubnets twoSubnets()
{
    return LocalSubnets({entry("192.0.2.100", 24, 2, "eth0"), entry("10.1.0.5", 16, 3, "eth1"),
                         entry("fe80::100%eth0", 64, 2, "eth0"), entry("2001:db8:1::100", 64, 2, "eth0")});
}

TEST(LocalSubnets, AddressesInsideOurSubnetsOnly)
{
    const LocalSubnets s = twoSubnets();
    const std::vector<std::pair<const char*, bool>> rows = {
        {"192.0.2.33", true}, {"192.0.2.100", true}, {"10.1.200.3", true}, {"192.0.3.1", false}, {"192.0.2.0", false},
        {"192.0.2.255", false}, {"10.1.255.255", false}, {"8.8.8.8", false}, {"127.0.0.1", false}, {"224.0.0.251", false},
        {"fe80::5%eth0", true}, {"fe80::5%2", true}, {"fe80::5%eth1", false}, {"fe80::5", false}, {"2001:db8:1::9", true},
        {"2001:db8:2::9", false}, {"::ffff:192.0.2.33", false},
    };
    for (const auto& [address, local] : rows)
        EXPECT_EQ(s.isLocal(addr(address)), local) << address;
    EXPECT_TRUE(s.sameSubnet(addr("192.0.2.33"), addr("192.0.2.34")));
    EXPECT_FALSE(s.sameSubnet(addr("192.0.2.33"), addr("10.1.0.9")));
    EXPECT_FALSE(s.sameSubnet(addr("192.0.2.33"), addr("203.0.113.1")));
    EXPECT_FALSE(LocalSubnets().isLocal(addr("192.0.2.33")));
}

TEST(LocalSubnets, WsdConnectsOnlyToTheSendersNeighbourhood)
{
    const LocalSubnets s = twoSubnets();
    struct Row {
        const char* what;
        const char* sender;
        std::vector<std::string> xaddrs;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"the sender itself", "192.0.2.32", {"http://192.0.2.32:5357/x"}, "192.0.2.32"},
        {"a neighbour of the sender", "192.0.2.32", {"http://192.0.2.40:5357/x"}, "192.0.2.40"},
        {"local, but not the sender's subnet", "192.0.2.32", {"http://10.1.0.9:5357/x"}, "none"},
        {"outside every local subnet", "192.0.2.32", {"http://203.0.113.5/x"}, "none"},
        {"sender outside our subnets", "203.0.113.5", {"http://192.0.2.32/x"}, "none"},
        {"loopback", "192.0.2.32", {"http://127.0.0.1:5357/x"}, "none"},
        {"broadcast address", "192.0.2.32", {"http://192.0.2.255/x"}, "none"},
        {"IPv4 preferred", "192.0.2.32", {"http://[2001:db8:1::32]/x", "http://192.0.2.32/x"}, "192.0.2.32"},
        {"first usable", "192.0.2.32", {"http://203.0.113.5/x", "https://192.0.2.32/", "http://192.0.2.33/y"}, "192.0.2.33"},
        {"link-local takes the sender's scope", "fe80::32%eth0", {"http://[fe80::32%wlan9]:5357/x"}, "fe80::32%eth0"},
        {"global IPv6 neighbour", "2001:db8:1::32", {"http://[2001:db8:1::32]/x"}, "2001:db8:1::32"},
        {"link-local from an IPv4 sender", "192.0.2.32", {"http://[fe80::32]/x"}, "none"},
        {"a name", "192.0.2.32", {"http://mori5:5357/x"}, "none"},
        {"nothing listed", "192.0.2.32", {}, "none"},
    };
    for (const Row& row : rows) {
        const auto url = WsdProbe::usableAddress(row.xaddrs, addr(row.sender), s);
        EXPECT_EQ(url ? url->address.toString().toStdString() : "none", row.expected) << row.what;
    }
}

TEST(DiscoveryName, NamesThatArePlainText)
{
    const std::vector<std::pair<std::string, bool>> rows = {
        {"QVHOST1", true}, {"kaisha-pc.corp", true}, {"with space", true}, {std::string(63, 'x'), true},
        {"\xE6\xA3\xAE\xE3\x81\xAE\xE3\x82\xB5\xE3\x83\xBC\xE3\x83\x90", true}, // 森のサーバ
        {std::string(64, 'x'), false}, {"", false}, {"a\\b", false}, {"a/b", false}, {std::string("a\0b", 3), false},
        {"tab\there", false}, {"del\x7F", false}, {"c1\xC2\x9F", false},
        {"\xEF\xBF\xBD", false},     // U+FFFD
        {"\xC0\xAF", false},         // overlong "/"
        {"\xED\xA0\x80", false},     // surrogate
        {"\xF4\x90\x80\x80", false}, // past U+10FFFF
        {"\xE6\xA3", false},         // cut short
        {"\x80", false},             // stray continuation byte
    };
    for (const auto& [name, ok] : rows)
        EXPECT_EQ(DiscoveryName::acceptable(name), ok) << name;
    EXPECT_TRUE(DiscoveryName::acceptable(std::string(15, 'N'), DiscoveryName::kMaxNetbiosBytes));
    EXPECT_FALSE(DiscoveryName::acceptable(std::string(16, 'N'), DiscoveryName::kMaxNetbiosBytes));
    EXPECT_TRUE(DiscoveryName::acceptableWorkgroup(""));
    EXPECT_FALSE(DiscoveryName::acceptableWorkgroup("W\\G"));
}

} // namespace
