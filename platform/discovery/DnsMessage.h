// DNS messages as multicast DNS uses them: building a one-question query and parsing
// answers from machines we do not control. The parser takes the whole message or
// nothing: any fault (truncation, a looping or forward compression pointer, an
// over-long label or name, a count the bytes cannot hold) drops the message.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// A domain name as its labels, in wire order ("hayashi6", "local").
using DnsName = std::vector<std::string>;

struct DnsQuestion {
    DnsName name;
    std::uint16_t type = 0;
    std::uint16_t qclass = 0;   // without the unicast-response bit
    bool unicastResponse = false;
};

struct DnsRecord {
    enum class Section { Answer, Authority, Additional };
    DnsName name;
    std::uint16_t type = 0;
    std::uint16_t rclass = 0;   // without the cache-flush bit
    std::uint32_t ttl = 0;
    Section section = Section::Answer;
    DnsName target;                        // PTR: the name pointed to; SRV: the target host
    std::uint16_t port = 0;                // SRV
    std::uint16_t priority = 0;            // SRV
    std::uint16_t weight = 0;              // SRV
    std::array<std::uint8_t, 16> address{}; // A: the first 4 bytes; AAAA: all 16
};

struct DnsPacket {
    std::uint16_t id = 0;
    std::uint16_t flags = 0;
    std::vector<DnsQuestion> questions;
    std::vector<DnsRecord> records; // answers, authority and additional records in order

    bool isResponse() const { return (flags & 0x8000) != 0; }
    int opcode() const { return (flags >> 11) & 0xF; }
    int rcode() const { return flags & 0xF; }
};

class DnsMessage final {
public:
    enum Type : std::uint16_t { A = 1, Ptr = 12, Txt = 16, Aaaa = 28, Srv = 33 };
    static constexpr std::uint16_t kClassIn = 1;
    static constexpr std::size_t kMaxLabelBytes = 63;
    static constexpr std::size_t kMaxNameBytes = 255; // wire form: length bytes and the final zero included
    static constexpr int kMaxPointerHops = 16;

    // A query with one question; empty when the name breaks the length limits or
    // has an empty label.
    static std::string buildQuery(std::uint16_t id, const DnsName& name, std::uint16_t type, bool unicastResponse);

    static std::optional<DnsPacket> parse(std::string_view message);

    // Reads the name at offset (following compression pointers, each of which must
    // point before the labels that lead to it) and moves offset past it; nullopt for
    // any fault. Shared with the NetBIOS name service, which uses the same encoding.
    static std::optional<DnsName> readName(std::string_view message, std::size_t& offset);

    // "_smb._tcp.local" → {"_smb", "_tcp", "local"}; a trailing dot is allowed.
    static DnsName nameFromText(std::string_view dotted);
    static std::string nameText(const DnsName& name);
    // The name with ASCII letters lower-cased: DNS compares names that way.
    static std::string nameKey(const DnsName& name);
};

} // namespace qv
