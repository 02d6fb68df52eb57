// The discovery packet parsers on any bytes (the first byte picks the parser): DNS
// messages, NetBIOS node-status answers, WS-Discovery replies and metadata, HTTP
// responses and URLs. Nothing may crash or read out of bounds, and whatever a parser
// takes must keep the limits the discovery sources rely on.
#include "fuzz/FuzzCheck.h"
#include "platform/discovery/DiscoveryName.h"
#include "platform/discovery/DnsMessage.h"
#include "platform/discovery/HttpMessage.h"
#include "platform/discovery/NbnsMessage.h"
#include "platform/discovery/WsdMessage.h"

#include <cstdint>
#include <string>

using namespace qv;
using qv::fuzz::shown;

namespace {

void checkName(const DnsName& name)
{
    std::size_t wire = 1;
    for (const std::string& label : name) {
        QV_FUZZ_CHECK(!label.empty() && label.size() <= DnsMessage::kMaxLabelBytes, "a label of " + std::to_string(label.size()) + " bytes");
        wire += label.size() + 1;
    }
    QV_FUZZ_CHECK(wire <= DnsMessage::kMaxNameBytes, "a name of " + std::to_string(wire) + " bytes");
}

void dns(std::string_view input)
{
    const auto packet = DnsMessage::parse(input);
    if (!packet)
        return;
    // A question takes at least 5 bytes, a record at least 11.
    QV_FUZZ_CHECK(packet->questions.size() * 5 + packet->records.size() * 11 <= input.size(), "more entries than bytes");
    for (const DnsQuestion& q : packet->questions)
        checkName(q.name);
    for (const DnsRecord& r : packet->records) {
        checkName(r.name);
        checkName(r.target);
    }
}

void nodeStatus(std::string_view input)
{
    const auto status = NbnsMessage::parseNodeStatusResponse(input);
    if (!status)
        return;
    for (const NbnsName& n : status->names)
        QV_FUZZ_CHECK(n.name.size() <= 15, "a NetBIOS name of " + std::to_string(n.name.size()) + " bytes");
    if (const auto id = NbnsMessage::identify(*status)) {
        QV_FUZZ_CHECK(DiscoveryName::acceptable(id->computer, DiscoveryName::kMaxNetbiosBytes), "computer «" + shown(id->computer) + "»");
        QV_FUZZ_CHECK(DiscoveryName::acceptableWorkgroup(id->workgroup, DiscoveryName::kMaxNetbiosBytes),
                      "workgroup «" + shown(id->workgroup) + "»");
    }
}

void wsd(std::string_view input)
{
    if (const auto r = WsdMessage::parseReply(input)) {
        QV_FUZZ_CHECK(!r->relatesTo.empty(), "a reply that answers nothing");
        for (const WsdMatch& match : r->matches) {
            QV_FUZZ_CHECK(!match.endpoint.empty() && DiscoveryName::validUtf8(match.endpoint), "endpoint «" + shown(match.endpoint) + "»");
            QV_FUZZ_CHECK(match.endpoint.find_first_of(std::string("\r\n\t\0", 4)) == std::string::npos,
                          "endpoint «" + shown(match.endpoint) + "»");
            QV_FUZZ_CHECK(match.xaddrs.size() <= 8, std::to_string(match.xaddrs.size()) + " addresses");
        }
    }
    if (const auto c = WsdMessage::parseMetadata(input)) {
        QV_FUZZ_CHECK(DiscoveryName::acceptable(c->name), "computer «" + shown(c->name) + "»");
        QV_FUZZ_CHECK(DiscoveryName::acceptableWorkgroup(c->workgroup), "workgroup «" + shown(c->workgroup) + "»");
    }
}

void http(std::string_view input)
{
    for (const bool closed : {false, true}) {
        const HttpResponse r = HttpMessage::parseResponse(input, closed, 16);
        QV_FUZZ_CHECK(r.state != HttpState::Complete || r.body.size() <= 16, "a body of " + std::to_string(r.body.size()) + " bytes");
        // The answer on the bytes so far must not change once the peer has closed,
        // except that an incomplete answer becomes final.
        const HttpResponse open = HttpMessage::parseResponse(input, false, 16);
        QV_FUZZ_CHECK(open.state != HttpState::Complete || (r.state == HttpState::Complete && r.body == open.body),
                      "a complete response changed when the peer closed");
    }
    if (const auto u = HttpMessage::parseUrl(input)) {
        QV_FUZZ_CHECK(u->port >= 1 && !u->address.isNull(), "URL «" + shown(input) + "»");
        for (const char c : u->path)
            QV_FUZZ_CHECK(c > 0x20 && c < 0x7F, "path «" + shown(u->path) + "»");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0: dns(input); break;
    case 1: nodeStatus(input); break;
    case 2: wsd(input); break;
    default: http(input); break;
    }
    return 0;
}
