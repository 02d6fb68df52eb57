// WS-Discovery messages: the Probe, Resolve and Get we send (read back namespace-aware,
// as a device would), the replies and metadata devices send, and documents crafted to
// make the parser fetch, expand or accept what it must not.
#include "platform/discovery/WsdMessage.h"
#include "tests/discovery/SamplePackets.h"

#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

const std::string kEndpoint = "urn:uuid:6d6f7269-3500-4d6f-9269-000000000032";

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// "Local name=text" of every leaf element in a namespace we send, read namespace-aware.
std::string leaves(const std::string& xml)
{
    static const QStringList known = {"http://www.w3.org/2003/05/soap-envelope",
                                      "http://schemas.xmlsoap.org/ws/2004/08/addressing",
                                      "http://schemas.xmlsoap.org/ws/2005/04/discovery"};
    QXmlStreamReader reader(QByteArray::fromStdString(xml));
    std::string out;
    QString name;
    QString text;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            name = known.contains(reader.namespaceUri().toString()) ? reader.name().toString() : "?";
            text.clear();
        } else if (token == QXmlStreamReader::Characters) {
            text += reader.text();
        } else if (token == QXmlStreamReader::EndElement && !name.isEmpty()) {
            out += (name + "=" + text + "\n").toStdString();
            name.clear();
        }
    }
    return reader.hasError() ? "error" : out;
}

TEST(WsdMessage, OutgoingMessagesReadBackAsADeviceReadsThem)
{
    const std::string id = WsdMessage::newMessageId();
    EXPECT_EQ(id.size(), 9u + 36u);
    EXPECT_NE(id, WsdMessage::newMessageId());
    EXPECT_EQ(leaves(WsdMessage::buildProbe(id)),
              "To=urn:schemas-xmlsoap-org:ws:2005:04:discovery\n"
              "Action=http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe\nMessageID=" + id + "\nTypes=wsdp:Device\n");
    const std::string odd = "urn:x:a&b<c>\"d'"; // an endpoint from the network, escaped when sent back
    EXPECT_EQ(leaves(WsdMessage::buildResolve("urn:uuid:r", odd)),
              "To=urn:schemas-xmlsoap-org:ws:2005:04:discovery\n"
              "Action=http://schemas.xmlsoap.org/ws/2005/04/discovery/Resolve\nMessageID=urn:uuid:r\nAddress=" + odd + "\n");
    EXPECT_EQ(leaves(WsdMessage::buildGet("urn:uuid:g", odd)),
              "To=" + odd + "\nAction=http://schemas.xmlsoap.org/ws/2004/09/transfer/Get\nMessageID=urn:uuid:g\n"
              "Address=http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous\nBody=\n");
    EXPECT_NE(WsdMessage::buildProbe(id).find("xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\""),
              std::string::npos) << "the type's prefix must be bound where it is used";
}

TEST(WsdMessage, ProbeMatchesWithAndWithoutTransportAddresses)
{
    const auto reply = WsdMessage::parseReply(SamplePackets::probeMatches(
        SamplePackets::match("ProbeMatch", kEndpoint, " http://192.0.2.32:5357/6d6f\n http://[fe80::32%eth0]:5357/6d6f ")
        + SamplePackets::match("ProbeMatch", "urn:uuid:other", "")));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->kind, WsdReply::Kind::ProbeMatches);
    EXPECT_EQ(reply->relatesTo, "urn:uuid:probe-1");
    ASSERT_EQ(reply->matches.size(), 2u);
    EXPECT_EQ(reply->matches[0].endpoint, kEndpoint);
    EXPECT_EQ(reply->matches[0].xaddrs,
              (std::vector<std::string>{"http://192.0.2.32:5357/6d6f", "http://[fe80::32%eth0]:5357/6d6f"}));
    EXPECT_EQ(reply->matches[1].endpoint, "urn:uuid:other");
    EXPECT_TRUE(reply->matches[1].xaddrs.empty());
}

TEST(WsdMessage, ResolveMatchUnderOtherPrefixes)
{
    // The same namespaces under other prefixes, SOAP's as the default namespace.
    const std::string xml =
        "<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
        " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"><Header>"
        "<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ResolveMatches</a:Action>"
        "<a:RelatesTo>urn:uuid:resolve-1</a:RelatesTo></Header><Body><d:ResolveMatches><d:ResolveMatch>"
        "<a:EndpointReference><a:Address>" + kEndpoint + "</a:Address></a:EndpointReference>"
        "<d:XAddrs>http://192.0.2.32:5357/x</d:XAddrs></d:ResolveMatch></d:ResolveMatches></Body></Envelope>";
    const auto reply = WsdMessage::parseReply(xml);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->kind, WsdReply::Kind::ResolveMatches);
    EXPECT_EQ(reply->relatesTo, "urn:uuid:resolve-1");
    ASSERT_EQ(reply->matches.size(), 1u);
    EXPECT_EQ(reply->matches[0].xaddrs, std::vector<std::string>{"http://192.0.2.32:5357/x"});
}

TEST(WsdMessage, RepliesOfTheWrongShapeAreDropped)
{
    const std::string good = SamplePackets::match("ProbeMatch", kEndpoint, "http://192.0.2.32:5357/x");
    const std::string ok = SamplePackets::probeMatches(good);
    std::string deep;
    for (int i = 0; i < 40; ++i)
        deep += "<wsd:X>";
    const std::vector<std::pair<const char*, std::string>> rows = {
        {"no RelatesTo", SamplePackets::probeMatches(good, "")},
        {"another message's action", replaced(ok, "discovery/ProbeMatches<", "discovery/Hello<")},
        {"two lists", SamplePackets::probeMatches(good + "</wsd:ProbeMatches><wsd:ProbeMatches>" + good)},
        {"match without endpoint", SamplePackets::probeMatches("<wsd:ProbeMatch><wsd:XAddrs>http://192.0.2.32/</wsd:XAddrs></wsd:ProbeMatch>")},
        {"endpoint with a control character", SamplePackets::probeMatches(SamplePackets::match("ProbeMatch", "urn:a&#x7f;b", ""))},
        {"SOAP 1.1 envelope", replaced(ok, "http://www.w3.org/2003/05/soap-envelope", "http://schemas.xmlsoap.org/soap/envelope/")},
        {"discovery names in another namespace", replaced(ok, "ws/2005/04/discovery\"", "ws/2009/01/discovery\"")},
        {"nine transport addresses", SamplePackets::probeMatches(SamplePackets::match("ProbeMatch", kEndpoint, "http://a/ "
                                                                 "http://b/ http://c/ http://d/ http://e/ http://f/ http://g/ http://h/ http://i/"))},
        {"nesting deeper than a reply needs", SamplePackets::probeMatches(good + deep)},
        {"truncated", ok.substr(0, 700)},
        {"not XML", "\x01\x02garbage"},
        {"empty", ""},
    };
    for (const auto& [what, xml] : rows)
        EXPECT_FALSE(WsdMessage::parseReply(xml)) << what;
}

TEST(WsdMessage, ComputerNamesWorkgroupOrDomain)
{
    const std::string mori = "\xE6\xA3\xAE" "5";                                // 森5
    const std::string group = "\xE3\x82\xB0\xE3\x83\xAB\xE3\x83\xBC\xE3\x83\x97"; // グループ
    const std::string refused = "(refused)";
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"MORI5/Workgroup:WSDGROUP", "MORI5|WSDGROUP|workgroup"},
        {"KAISHA-PC/Domain:corp.example", "KAISHA-PC|corp.example|domain"},
        {"PLAIN", "PLAIN||workgroup"},
        {"\n  MORI5/Workgroup:WSDGROUP \n", "MORI5|WSDGROUP|workgroup"},
        {mori + "/Workgroup:" + group, mori + "|" + group + "|workgroup"},
        {std::string(63, 'N'), std::string(63, 'N') + "||workgroup"},
        {"MORI5/Elsewhere:X", refused}, {"MORI5/Workgroup:", refused}, {"MORI5/Workgroup", refused},
        {"/Workgroup:WG", refused}, {"", refused}, {"MO\\RI5", refused}, {"MORI5/Workgroup:WS/DG", refused},
        {"MORI5/Workgroup:W\\G", refused}, {"MO\x01RI5", refused}, {"MO\x7FRI5", refused},
        {"MO\xC2\x85RI5", refused},     // C1 control (NEL)
        {"MO\xEF\xBF\xBDRI5", refused}, // U+FFFD: what a decoder leaves of bad bytes
        {std::string(64, 'N'), refused}, {"MORI5/Workgroup:" + std::string(64, 'W'), refused},
    };
    for (const auto& [text, expected] : rows) {
        const auto c = WsdMessage::parseComputer(text);
        EXPECT_EQ(c ? c->name + "|" + c->workgroup + (c->isDomain ? "|domain" : "|workgroup") : refused, expected) << text;
    }
}

TEST(WsdMessage, MetadataNamesTheComputer)
{
    const auto computer = WsdMessage::parseMetadata(SamplePackets::getResponse("MORI5/Workgroup:WSDGROUP"));
    ASSERT_TRUE(computer);
    EXPECT_EQ(computer->name + "|" + computer->workgroup, "MORI5|WSDGROUP");
    // Character references are plain text, and decoded as such.
    const auto escaped = WsdMessage::parseMetadata(SamplePackets::getResponse("M&#x4F;RI5/Domain:D&amp;D"));
    ASSERT_TRUE(escaped);
    EXPECT_EQ(escaped->name + "|" + escaped->workgroup, "MORI5|D&D");
}

TEST(WsdMessage, MetadataThatCouldFetchOrExpandIsRefused)
{
    const std::string good = SamplePackets::getResponse("MORI5");
    const std::string entity = replaced(good, "<pub:Computer>MORI5", "<pub:Computer>&x;");
    const std::string afterDecl = entity.substr(entity.find("?>") + 2);
    const std::vector<std::pair<const char*, std::string>> rows = {
        {"external entity", "<?xml version=\"1.0\"?><!DOCTYPE e [<!ENTITY x SYSTEM \"file:///etc/hostname\">]>" + afterDecl},
        {"internal entity", "<?xml version=\"1.0\"?><!DOCTYPE e [<!ENTITY x \"MORI5\">]>" + afterDecl},
        {"external DTD", "<?xml version=\"1.0\"?><!DOCTYPE e SYSTEM \"http://192.0.2.99/evil.dtd\">" + good.substr(good.find("?>") + 2)},
        {"entity expansion", "<?xml version=\"1.0\"?><!DOCTYPE e [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;"
                             "&a;&a;&a;\"><!ENTITY x \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>" + afterDecl},
        {"undeclared entity", entity},
        {"invalid UTF-8", SamplePackets::getResponse("MO\xFFRI5")},
        {"not a Get response", replaced(good, "transfer/GetResponse", "transfer/Get")},
        {"computer in another namespace", replaced(good, "windows/pub/2005/07", "windows/pub/2099/01")},
        {"computer outside the body", replaced(replaced(good, "<pub:Computer>MORI5</pub:Computer>", ""), "</soap:Header>",
                                               "<pub:Computer>MORI5</pub:Computer></soap:Header>")},
        {"no computer", replaced(good, "<pub:Computer>MORI5</pub:Computer>", "")},
        {"over 64 KiB", SamplePackets::getResponse("MORI5" + std::string(70000, ' '))},
        {"DEL in the name", SamplePackets::getResponse("MO&#x7f;RI5")},
        {"NEL in the name", SamplePackets::getResponse("MO&#x85;RI5")},
    };
    for (const auto& [what, xml] : rows)
        EXPECT_FALSE(WsdMessage::parseMetadata(xml)) << what;
    for (std::size_t n = 0; n < good.size(); ++n)
        ASSERT_FALSE(WsdMessage::parseMetadata(good.substr(0, n))) << "cut at " << n;
}

} // namespace
