// Node-status request and answer: the request as it goes on the wire, answers built
// the way name servers send them, and the choice of computer name and workgroup.
#include "platform/discovery/NbnsMessage.h"
#include "tests/discovery/SamplePackets.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

constexpr unsigned kUnique = 0x0400;
constexpr unsigned kGroup = 0x8400;

TEST(NbnsMessage, RequestAsksForTheWildcardName)
{
    const std::string wildcard = "CK" + std::string(30, 'A'); // "*" and 15 zero bytes, first-level encoded
    EXPECT_EQ(NbnsMessage::buildNodeStatusRequest(0x1234),
              PacketWriter().header(0x1234, 0, 1, 0, 0, 0).u8(32).raw(wildcard).u8(0).u16(0x21).u16(1).bytes());
}

TEST(NbnsMessage, AnswerListsEveryNameWithSuffixAndFlags)
{
    const auto status = NbnsMessage::parseNodeStatusResponse(SamplePackets::nodeStatusAnswer(SamplePackets::sawa7()));
    ASSERT_TRUE(status);
    EXPECT_EQ(status->transactionId, 0x4242);
    ASSERT_EQ(status->names.size(), 5u);
    EXPECT_EQ(status->names[0].name, "SAWA7") << "trailing blanks are not part of the name";
    EXPECT_EQ(status->names[2].suffix, 0x20);
    EXPECT_FALSE(status->names[2].isGroup());
    EXPECT_TRUE(status->names[4].isGroup());
    // Some servers send less than the RFC's statistics, or none.
    EXPECT_TRUE(NbnsMessage::parseNodeStatusResponse(SamplePackets::nodeStatusAnswer(SamplePackets::sawa7(), 1, false)));
}

TEST(NbnsMessage, ComputerAndWorkgroupAreChosenByKindAndSuffix)
{
    struct Row {
        const char* what;
        std::vector<NbnsEntry> entries;
        const char* expected; // "computer|workgroup", or nullptr when refused
    };
    const std::vector<Row> rows = {
        {"server with workgroup", SamplePackets::sawa7(), "SAWA7|LONEGROUP"},
        {"group name listed first", {{"QVGROUP1", 0x00, kGroup}, {"QVHOST1", 0x00, kUnique}}, "QVHOST1|QVGROUP1"},
        {"only the server name", {{"FILER", 0x20, kUnique}, {"WG", 0x00, kGroup}}, "FILER|WG"},
        {"no workgroup", {{"LONELY", 0x00, kUnique}}, "LONELY|"},
        {"name being released", {{"OLDNAME", 0x00, 0x1400}, {"NEWNAME", 0x00, kUnique}}, "NEWNAME|"},
        {"name in conflict", {{"TWIN", 0x00, 0x0C00}, {"TWIN", 0x20, kUnique}}, "TWIN|"},
        {"fifteen bytes", {{"ABCDEFGHIJKLMNO", 0x00, kUnique}}, "ABCDEFGHIJKLMNO|"},
        {"UTF-8 name", {{"\xE6\xA3\xAE" "5", 0x00, kUnique}}, "\xE6\xA3\xAE" "5|"},
        {"only group names", {{"WG", 0x00, kGroup}, {"WG", 0x1E, kGroup}}, nullptr},
        {"only other suffixes", {{"HOST", 0x03, kUnique}}, nullptr},
        {"blank name", {{"", 0x00, kUnique}}, nullptr},
        {"control character", {{"BAD\x01NAME", 0x00, kUnique}}, nullptr},
        {"backslash", {{"BAD\\NAME", 0x00, kUnique}}, nullptr},
        {"slash", {{"BAD/NAME", 0x00, kUnique}}, nullptr},
        {"invalid UTF-8", {{"BAD\xFFNAME", 0x00, kUnique}}, nullptr},
        {"cut UTF-8 sequence", {{"BAD\xE6\xA3", 0x00, kUnique}}, nullptr},
        {"bad workgroup", {{"HOST", 0x00, kUnique}, {"W\\G", 0x00, kGroup}}, nullptr},
    };
    for (const Row& row : rows) {
        const auto status = NbnsMessage::parseNodeStatusResponse(SamplePackets::nodeStatusAnswer(row.entries));
        ASSERT_TRUE(status) << row.what;
        const auto id = NbnsMessage::identify(*status);
        EXPECT_EQ(id ? id->computer + "|" + id->workgroup : "(refused)", row.expected ? row.expected : "(refused)") << row.what;
    }
}

TEST(NbnsMessage, MalformedAnswersAreDropped)
{
    const std::string good = SamplePackets::nodeStatusAnswer(SamplePackets::sawa7());
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(NbnsMessage::parseNodeStatusResponse(good.substr(0, n))) << "cut at " << n;
    EXPECT_FALSE(NbnsMessage::parseNodeStatusResponse(NbnsMessage::buildNodeStatusRequest(7))) << "a query is no answer";
    // Offsets: header 12, name 34, then type 46, class 48, TTL 50, length 54, count 56.
    const std::vector<std::tuple<const char*, std::size_t, char>> edits = {
        {"negative answer (RCODE 3)", 3, 0x03},
        {"NB record, not NBSTAT", 47, 0x20},
        {"more names than the data holds", 56, static_cast<char>(200)},
        {"data length past the end", 54, 0x7F},
        {"record name pointing at itself", 12, static_cast<char>(0xC0)},
    };
    for (const auto& [what, at, value] : edits) {
        std::string bad = good;
        bad[at] = value;
        if (at == 12)
            bad[13] = 12;
        EXPECT_FALSE(NbnsMessage::parseNodeStatusResponse(bad)) << what;
    }
}

} // namespace
