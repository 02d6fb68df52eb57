// DNS messages as the mDNS querier builds and reads them: a responder's answer with
// compression and additional records, and the faults a hostile or broken responder
// could send.
#include "platform/discovery/DnsMessage.h"
#include "tests/discovery/SamplePackets.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

// One line per question and record, so that a failure shows what was read.
std::string describe(const DnsPacket& p)
{
    std::string out;
    for (const DnsQuestion& q : p.questions)
        out += "Q " + DnsMessage::nameText(q.name) + " " + std::to_string(q.type) + (q.unicastResponse ? " QU\n" : "\n");
    for (const DnsRecord& r : p.records) {
        out += r.section == DnsRecord::Section::Answer ? "AN " : "AR ";
        out += std::to_string(r.type) + " " + DnsMessage::nameText(r.name);
        // Appended piece by piece: GCC 12 warns (-Wrestrict) on "literal" + string here.
        if (!r.target.empty()) {
            out += " -> ";
            out += DnsMessage::nameText(r.target);
        }
        if (r.type == DnsMessage::Srv || r.type == DnsMessage::A) {
            out += ' ';
            out += std::to_string(r.type == DnsMessage::Srv ? r.port : r.address[3]);
        }
        out += '\n';
    }
    return out;
}

TEST(DnsMessage, QueryHasOneQuestionWithTheUnicastResponseBit)
{
    const std::string q = DnsMessage::buildQuery(0xBEEF, DnsMessage::nameFromText("_smb._tcp.local."), DnsMessage::Ptr, true);
    EXPECT_EQ(q, PacketWriter().header(0xBEEF, 0, 1, 0, 0, 0).name("_smb._tcp.local").u16(12).u16(0x8001).bytes());
    EXPECT_TRUE(DnsMessage::buildQuery(1, {std::string(64, 'a')}, DnsMessage::A, false).empty());
    EXPECT_TRUE(DnsMessage::buildQuery(1, {"a", "", "local"}, DnsMessage::A, false).empty());
}

TEST(DnsMessage, ResponderAnswerWithCompressionAndAdditionalRecords)
{
    const auto parsed = DnsMessage::parse(SamplePackets::mdnsAnswer());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->id, 0x1234);
    EXPECT_TRUE(parsed->isResponse());
    EXPECT_EQ(describe(*parsed), "Q _smb._tcp.local 12 QU\n"
                                 "AN 12 _smb._tcp.local -> hayashi6._smb._tcp.local\n"
                                 "AR 33 hayashi6._smb._tcp.local -> hayashi6.local 445\n"
                                 "AR 16 hayashi6._smb._tcp.local\n"
                                 "AR 1 hayashi6.local 33\n"
                                 "AR 28 hayashi6.local\n");
    EXPECT_EQ(parsed->records[1].rclass, 1) << "the cache-flush bit is not part of the class";
}

TEST(DnsMessage, PointerChainsEndAtTheHopLimit)
{
    // "a" at 0, then pointers at 3, 5, 7, ... each to the one before it.
    const auto chain = [](int pointers, std::size_t& last) {
        PacketWriter w;
        w.name("a");
        for (int i = 0; i < pointers; ++i) {
            const std::size_t here = w.size();
            w.pointer(i == 0 ? 0 : last);
            last = here;
        }
        return w.bytes();
    };
    std::size_t start = 0;
    const std::string ok = chain(DnsMessage::kMaxPointerHops, start);
    std::size_t offset = start;
    ASSERT_TRUE(DnsMessage::readName(ok, offset));
    EXPECT_EQ(offset, start + 2) << "the name ends after its first pointer";
    const std::string tooLong = chain(DnsMessage::kMaxPointerHops + 1, start);
    offset = start;
    EXPECT_FALSE(DnsMessage::readName(tooLong, offset));
}

TEST(DnsMessage, HostilePacketsAreDroppedWhole)
{
    const auto q = [] { return PacketWriter().header(1, 0x8400, 1, 0, 0, 0); };   // one question follows
    const auto rr = [] { return PacketWriter().header(1, 0x8400, 0, 1, 0, 0); };  // one record follows
    std::string longest = q().label(std::string(63, 'a')).label(std::string(63, 'b')).label(std::string(63, 'c')).bytes();
    const std::vector<std::pair<const char*, std::string>> rows = {
        {"shorter than a header", std::string(11, '\0')},
        {"more questions than bytes", PacketWriter().header(1, 0x8400, 1000, 0, 0, 0).name("a.local").u16(1).u16(1).bytes()},
        {"65535 answers announced", PacketWriter().header(1, 0x8400, 0, 0xFFFF, 0, 0).name("a").u16(1).u16(1).u32(0).u16(0).bytes()},
        {"pointer to itself", q().pointer(12).u16(1).u16(1).bytes()},
        {"label, then pointer back to it", q().label("a").pointer(12).u16(1).u16(1).bytes()},
        {"forward pointer to a good name", q().pointer(18).u16(1).u16(1).name("later").bytes()},
        {"pointer past the end", q().pointer(0x3FFF).u16(1).u16(1).bytes()},
        {"pointer cut in half", q().u8(0xC0).bytes()},
        {"64-byte label", q().u8(64).raw(std::string(64, 'x')).u8(0).u16(1).u16(1).bytes()},
        {"label type 0x40", q().u8(0x41).raw("x").u8(0).u16(1).u16(1).bytes()},
        {"name of 256 bytes", longest + PacketWriter().label(std::string(62, 'd')).u8(0).u16(1).u16(1).bytes()},
        {"label past the end", q().u8(10).raw("abc").bytes()},
        {"data past the end", rr().name("a").u16(1).u16(1).u32(0).u16(200).u32(0).bytes()},
        {"A of 5 bytes", rr().name("a").u16(1).u16(1).u32(0).u16(5).u32(0).u8(0).bytes()},
        {"AAAA of 4 bytes", rr().name("a").u16(28).u16(1).u32(0).u16(4).u32(0).bytes()},
        {"SRV without target", rr().name("a").u16(33).u16(1).u32(0).u16(6).u16(0).u16(0).u16(445).bytes()},
        {"SRV target short of the data end", rr().name("a").u16(33).u16(1).u32(0).u16(16).u16(0).u16(0).u16(445).name("h.local").u8(0).bytes()},
        {"PTR target past the data end", rr().name("a").u16(12).u16(1).u32(0).u16(2).label("x").name("local").bytes()},
    };
    for (const auto& [what, bytes] : rows)
        EXPECT_FALSE(DnsMessage::parse(bytes)) << what;
    // 3 labels of 63 and one of 61 make 255 bytes on the wire: the most a name may take.
    EXPECT_TRUE(DnsMessage::parse(longest + PacketWriter().label(std::string(61, 'd')).u8(0).u16(1).u16(1).bytes()));
}

TEST(DnsMessage, EveryTruncationOfAnAnswerIsDropped)
{
    const std::string full = SamplePackets::mdnsAnswer();
    for (std::size_t n = 0; n < full.size(); ++n)
        EXPECT_FALSE(DnsMessage::parse(full.substr(0, n))) << "cut at " << n;
}

} // namespace
