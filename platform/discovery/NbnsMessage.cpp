// Node-status request builder and answer parser.
#include "platform/discovery/NbnsMessage.h"

#include "platform/discovery/DiscoveryName.h"
#include "platform/discovery/DnsMessage.h"

namespace qv {
namespace {

constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kNameEntryBytes = 18; // 15 name bytes, suffix, 2 flag bytes

std::uint16_t read16(std::string_view m, std::size_t at)
{
    return static_cast<std::uint16_t>((static_cast<unsigned char>(m[at]) << 8) | static_cast<unsigned char>(m[at + 1]));
}

void put16(std::string& out, std::uint16_t v)
{
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v & 0xFF);
}

const NbnsName* firstName(const NbnsNodeStatus& status, std::uint8_t suffix, bool group)
{
    for (const NbnsName& n : status.names) {
        if (n.suffix == suffix && n.isGroup() == group && n.isUsable())
            return &n;
    }
    return nullptr;
}

} // namespace

std::string NbnsMessage::buildNodeStatusRequest(std::uint16_t transactionId)
{
    std::string out;
    put16(out, transactionId);
    put16(out, 0x0000); // query, unicast, no recursion
    put16(out, 1);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    // First-level encoding (RFC 1001 §14.1): each of the 16 bytes as two letters 'A'+nibble.
    unsigned char raw[16] = {'*'};
    out += static_cast<char>(32);
    for (const unsigned char b : raw) {
        out += static_cast<char>('A' + (b >> 4));
        out += static_cast<char>('A' + (b & 0x0F));
    }
    out += '\0';
    put16(out, kTypeNbstat);
    put16(out, 1); // IN
    return out;
}

std::optional<NbnsNodeStatus> NbnsMessage::parseNodeStatusResponse(std::string_view message)
{
    if (message.size() < kHeaderBytes)
        return std::nullopt;
    NbnsNodeStatus status;
    status.transactionId = read16(message, 0);
    const std::uint16_t flags = read16(message, 2);
    const bool response = (flags & 0x8000) != 0;
    const int opcode = (flags >> 11) & 0xF;
    const int rcode = flags & 0xF;
    if (!response || opcode != 0 || rcode != 0)
        return std::nullopt;
    const std::size_t qd = read16(message, 4);
    const std::size_t an = read16(message, 6);
    if (an < 1 || qd * 5 + an * 11 > message.size() - kHeaderBytes)
        return std::nullopt;
    std::size_t pos = kHeaderBytes;
    for (std::size_t i = 0; i < qd; ++i) {
        if (!DnsMessage::readName(message, pos) || pos + 4 > message.size())
            return std::nullopt;
        pos += 4;
    }
    if (!DnsMessage::readName(message, pos) || pos + 10 > message.size())
        return std::nullopt;
    const std::uint16_t type = read16(message, pos);
    const std::uint16_t rclass = read16(message, pos + 2);
    const std::size_t rdlength = read16(message, pos + 8);
    pos += 10;
    if (type != kTypeNbstat || rclass != 1 || rdlength > message.size() - pos || rdlength < 1)
        return std::nullopt;
    const std::size_t count = static_cast<unsigned char>(message[pos]);
    // The statistics after the names are not needed and some nodes send fewer than
    // the RFC's 46 bytes; only the names must fit inside the data.
    if (1 + count * kNameEntryBytes > rdlength)
        return std::nullopt;
    std::size_t at = pos + 1;
    status.names.reserve(count);
    for (std::size_t i = 0; i < count; ++i, at += kNameEntryBytes) {
        NbnsName n;
        std::string_view raw = message.substr(at, 15);
        while (!raw.empty() && raw.back() == ' ')
            raw.remove_suffix(1);
        n.name = std::string(raw);
        n.suffix = static_cast<std::uint8_t>(message[at + 15]);
        n.flags = read16(message, at + 16);
        status.names.push_back(std::move(n));
    }
    return status;
}

std::optional<NbnsIdentity> NbnsMessage::identify(const NbnsNodeStatus& status)
{
    const NbnsName* computer = firstName(status, 0x00, false);
    if (!computer)
        computer = firstName(status, 0x20, false);
    if (!computer || !DiscoveryName::acceptable(computer->name, DiscoveryName::kMaxNetbiosBytes))
        return std::nullopt;
    NbnsIdentity id;
    id.computer = computer->name;
    if (const NbnsName* group = firstName(status, 0x00, true)) {
        if (!DiscoveryName::acceptable(group->name, DiscoveryName::kMaxNetbiosBytes))
            return std::nullopt;
        id.workgroup = group->name;
    }
    return id;
}

} // namespace qv
