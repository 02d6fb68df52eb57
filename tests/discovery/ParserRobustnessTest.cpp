// Every parser fed thousands of random and mutated inputs (seeded, so a failure can be
// replayed): none may crash, hang or read out of bounds (run under ASan/UBSan too), and
// whatever one accepts must still satisfy the rules the sources rely on.
#include "platform/discovery/DiscoveryName.h"
#include "platform/discovery/DnsMessage.h"
#include "platform/discovery/HttpMessage.h"
#include "platform/discovery/NbnsMessage.h"
#include "platform/discovery/WsdMessage.h"
#include "tests/discovery/SamplePackets.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

using namespace qv;
using namespace qv::test;

namespace {

// QV_ROBUSTNESS_ROUNDS=N runs longer (under the sanitizers, say); 5000 by default.
const int kRounds = std::getenv("QV_ROBUSTNESS_ROUNDS") ? std::atoi(std::getenv("QV_ROBUSTNESS_ROUNDS")) : 5000;

class Mutator {
public:
    explicit Mutator(std::uint32_t seed)
        : m_random(seed)
    {
    }
    std::size_t below(std::size_t n) { return m_random() % n; }
    std::string randomBytes(std::size_t maxLength)
    {
        std::string s(below(maxLength + 1), '\0');
        for (char& c : s)
            c = static_cast<char>(below(256));
        return s;
    }
    // One in four inputs is random; the others are a valid sample with a few edits:
    // flipped bits, bytes parsers treat specially, cuts, deletions, repeated spans.
    std::string next(const std::string& sample)
    {
        if (below(4) == 0)
            return randomBytes(sample.size());
        static const char kSpecial[] = {'\0', '\xC0', '\xFF', '\x3F', '\x40', '<', '>', '&', '/', '\\', '%', '\r', '\n'};
        std::string s = sample;
        for (std::size_t e = 1 + below(4); e > 0 && !s.empty(); --e) {
            const std::size_t at = below(s.size());
            switch (below(6)) {
            case 0: s[at] = static_cast<char>(s[at] ^ (1 << below(8))); break;
            case 1: s[at] = kSpecial[below(sizeof kSpecial)]; break;
            case 2: s.resize(at); break;
            case 3: s.erase(at, below(16)); break;
            case 4: s.insert(at, s.substr(at, below(64))); break;
            default: s.insert(at, randomBytes(8)); break;
            }
        }
        return s;
    }

private:
    std::mt19937 m_random;
};

void expectNameLimits(const DnsName& name)
{
    std::size_t wire = 1;
    for (const std::string& label : name) {
        EXPECT_TRUE(!label.empty() && label.size() <= DnsMessage::kMaxLabelBytes);
        wire += label.size() + 1;
    }
    EXPECT_LE(wire, DnsMessage::kMaxNameBytes);
}

TEST(ParserRobustness, DnsMessages)
{
    Mutator m(20240601);
    const std::string sample = SamplePackets::mdnsAnswer();
    int accepted = 0;
    for (int i = 0; i < kRounds; ++i) {
        const std::string input = m.next(sample);
        const auto packet = DnsMessage::parse(input);
        if (!packet)
            continue;
        ++accepted;
        EXPECT_LE(packet->questions.size() * 5 + packet->records.size() * 11, input.size());
        for (const DnsQuestion& q : packet->questions)
            expectNameLimits(q.name);
        for (const DnsRecord& r : packet->records) {
            expectNameLimits(r.name);
            expectNameLimits(r.target);
        }
    }
    EXPECT_GT(accepted, 0) << "no mutation left a message whole: the test would prove little";
}

TEST(ParserRobustness, NodeStatusAnswers)
{
    Mutator m(137);
    const std::string sample = SamplePackets::nodeStatusAnswer(SamplePackets::sawa7());
    int identified = 0;
    for (int i = 0; i < kRounds; ++i) {
        const auto status = NbnsMessage::parseNodeStatusResponse(m.next(sample));
        if (!status)
            continue;
        for (const NbnsName& n : status->names)
            EXPECT_LE(n.name.size(), 15u);
        if (const auto id = NbnsMessage::identify(*status)) {
            ++identified;
            EXPECT_TRUE(DiscoveryName::acceptable(id->computer, DiscoveryName::kMaxNetbiosBytes)) << id->computer;
            EXPECT_TRUE(DiscoveryName::acceptableWorkgroup(id->workgroup, DiscoveryName::kMaxNetbiosBytes)) << id->workgroup;
        }
    }
    EXPECT_GT(identified, 0);
}

TEST(ParserRobustness, WsdRepliesAndMetadata)
{
    Mutator m(3702);
    const std::string reply = SamplePackets::probeMatches(
        SamplePackets::match("ProbeMatch", "urn:uuid:2", "http://192.0.2.32:5357/2 http://[fe80::1]/"));
    const std::string metadata = SamplePackets::getResponse("MORI5/Workgroup:WSDGROUP");
    int replies = 0;
    int computers = 0;
    for (int i = 0; i < kRounds; ++i) {
        if (const auto r = WsdMessage::parseReply(m.next(reply))) {
            ++replies;
            EXPECT_FALSE(r->relatesTo.empty());
            for (const WsdMatch& match : r->matches) {
                EXPECT_TRUE(!match.endpoint.empty() && DiscoveryName::validUtf8(match.endpoint));
                EXPECT_EQ(match.endpoint.find_first_of(std::string("\r\n\t\0", 4)), std::string::npos);
                EXPECT_LE(match.xaddrs.size(), 8u);
            }
        }
        if (const auto c = WsdMessage::parseMetadata(m.next(metadata))) {
            ++computers;
            EXPECT_TRUE(DiscoveryName::acceptable(c->name)) << c->name;
            EXPECT_TRUE(DiscoveryName::acceptableWorkgroup(c->workgroup)) << c->workgroup;
        }
    }
    EXPECT_GT(replies, 0);
    EXPECT_GT(computers, 0);
}

TEST(ParserRobustness, HttpResponsesAndUrls)
{
    Mutator m(5357);
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n3\r\nabc\r\n0\r\n\r\n";
    const std::string sized = "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nhelloabc";
    for (int i = 0; i < kRounds; ++i) {
        const std::string input = m.next(i % 2 ? chunked : sized);
        for (const bool closed : {false, true}) {
            const HttpResponse r = HttpMessage::parseResponse(input, closed, 16);
            EXPECT_TRUE(r.state != HttpState::Complete || r.body.size() <= 16u);
        }
        if (const auto u = HttpMessage::parseUrl(m.next("http://192.0.2.32:5357/6d6f?x=1"))) {
            EXPECT_TRUE(u->port >= 1 && !u->address.isNull());
            for (const char c : u->path)
                EXPECT_TRUE(c > 0x20 && c < 0x7F) << u->path;
        }
    }
}

} // namespace
