// DNS wire format: query builder and the hardened answer parser.
#include "platform/discovery/DnsMessage.h"

#include <cstring>

namespace qv {
namespace {

constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kMinQuestionBytes = 5;  // root name + type + class
constexpr std::size_t kMinRecordBytes = 11;   // root name + type + class + ttl + rdlength

std::uint16_t read16(std::string_view m, std::size_t at)
{
    return static_cast<std::uint16_t>((static_cast<unsigned char>(m[at]) << 8) | static_cast<unsigned char>(m[at + 1]));
}

std::uint32_t read32(std::string_view m, std::size_t at)
{
    return (std::uint32_t{read16(m, at)} << 16) | read16(m, at + 2);
}

void put16(std::string& out, std::uint16_t v)
{
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v & 0xFF);
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string DnsMessage::buildQuery(std::uint16_t id, const DnsName& name, std::uint16_t type, bool unicastResponse)
{
    std::string out;
    put16(out, id);
    put16(out, 0); // standard query; mDNS queries carry no flags
    put16(out, 1);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    std::size_t wire = 1;
    for (const std::string& label : name) {
        if (label.empty() || label.size() > kMaxLabelBytes)
            return {};
        wire += label.size() + 1;
        if (wire > kMaxNameBytes)
            return {};
        out += static_cast<char>(label.size());
        out += label;
    }
    out += '\0';
    put16(out, type);
    put16(out, static_cast<std::uint16_t>(kClassIn | (unicastResponse ? 0x8000 : 0)));
    return out;
}

std::optional<DnsName> DnsMessage::readName(std::string_view message, std::size_t& offset)
{
    DnsName name;
    std::size_t pos = offset;
    std::size_t runStart = offset; // where the labels being read began (the name, or the last pointer's target)
    std::size_t end = 0;           // where the name ends in the message: after its first pointer or its zero
    bool jumped = false;
    int hops = 0;
    std::size_t wire = 1;
    for (;;) {
        if (pos >= message.size())
            return std::nullopt;
        const auto len = static_cast<unsigned char>(message[pos]);
        if (len == 0) {
            if (!jumped)
                end = pos + 1;
            break;
        }
        if ((len & 0xC0) == 0xC0) {
            if (pos + 1 >= message.size())
                return std::nullopt;
            const std::size_t target = ((len & 0x3F) << 8) | static_cast<unsigned char>(message[pos + 1]);
            // Only backwards, and before the labels that led here: every jump then
            // lands strictly lower than the last, so no chain of pointers can loop.
            if (target >= runStart || ++hops > kMaxPointerHops)
                return std::nullopt;
            if (!jumped)
                end = pos + 2;
            jumped = true;
            pos = target;
            runStart = target;
            continue;
        }
        if ((len & 0xC0) != 0) // 0x40 and 0x80 label types are not in use
            return std::nullopt;
        if (pos + 1 + len > message.size())
            return std::nullopt;
        wire += len + 1;
        if (wire > kMaxNameBytes)
            return std::nullopt;
        name.emplace_back(message.substr(pos + 1, len));
        pos += 1 + len;
    }
    offset = end;
    return name;
}

std::optional<DnsPacket> DnsMessage::parse(std::string_view message)
{
    if (message.size() < kHeaderBytes)
        return std::nullopt;
    DnsPacket packet;
    packet.id = read16(message, 0);
    packet.flags = read16(message, 2);
    const std::size_t qd = read16(message, 4);
    const std::size_t an = read16(message, 6);
    const std::size_t ns = read16(message, 8);
    const std::size_t ar = read16(message, 10);
    // Counts the remaining bytes cannot possibly hold are refused before anything is
    // reserved or read for them.
    if (qd * kMinQuestionBytes + (an + ns + ar) * kMinRecordBytes > message.size() - kHeaderBytes)
        return std::nullopt;
    std::size_t pos = kHeaderBytes;
    packet.questions.reserve(qd);
    for (std::size_t i = 0; i < qd; ++i) {
        DnsQuestion q;
        auto name = readName(message, pos);
        if (!name || pos + 4 > message.size())
            return std::nullopt;
        q.name = std::move(*name);
        q.type = read16(message, pos);
        const std::uint16_t cls = read16(message, pos + 2);
        q.qclass = cls & 0x7FFF;
        q.unicastResponse = (cls & 0x8000) != 0;
        pos += 4;
        packet.questions.push_back(std::move(q));
    }
    packet.records.reserve(an + ns + ar);
    for (std::size_t i = 0; i < an + ns + ar; ++i) {
        DnsRecord r;
        r.section = i < an ? DnsRecord::Section::Answer
                           : (i < an + ns ? DnsRecord::Section::Authority : DnsRecord::Section::Additional);
        auto name = readName(message, pos);
        if (!name || pos + 10 > message.size())
            return std::nullopt;
        r.name = std::move(*name);
        r.type = read16(message, pos);
        const std::uint16_t cls = read16(message, pos + 2);
        r.rclass = cls & 0x7FFF;
        r.ttl = read32(message, pos + 4);
        const std::size_t rdlength = read16(message, pos + 8);
        pos += 10;
        if (rdlength > message.size() - pos)
            return std::nullopt;
        const std::size_t rdataEnd = pos + rdlength;
        // Names inside the data are read from the whole message (they may point back
        // into it) but must end exactly where the data ends.
        switch (r.type) {
        case A:
            if (rdlength != 4)
                return std::nullopt;
            std::memcpy(r.address.data(), message.data() + pos, 4);
            break;
        case Aaaa:
            if (rdlength != 16)
                return std::nullopt;
            std::memcpy(r.address.data(), message.data() + pos, 16);
            break;
        case Ptr: {
            std::size_t at = pos;
            auto target = readName(message.substr(0, rdataEnd), at);
            if (!target || at != rdataEnd)
                return std::nullopt;
            r.target = std::move(*target);
            break;
        }
        case Srv: {
            if (rdlength < 7)
                return std::nullopt;
            r.priority = read16(message, pos);
            r.weight = read16(message, pos + 2);
            r.port = read16(message, pos + 4);
            std::size_t at = pos + 6;
            auto target = readName(message.substr(0, rdataEnd), at);
            if (!target || at != rdataEnd)
                return std::nullopt;
            r.target = std::move(*target);
            break;
        }
        default:
            break; // kept with its header; the data is not needed
        }
        pos = rdataEnd;
        packet.records.push_back(std::move(r));
    }
    return packet;
}

DnsName DnsMessage::nameFromText(std::string_view dotted)
{
    DnsName name;
    if (!dotted.empty() && dotted.back() == '.')
        dotted.remove_suffix(1);
    while (!dotted.empty()) {
        const std::size_t dot = dotted.find('.');
        name.emplace_back(dotted.substr(0, dot));
        if (dot == std::string_view::npos)
            break;
        dotted.remove_prefix(dot + 1);
    }
    return name;
}

std::string DnsMessage::nameText(const DnsName& name)
{
    std::string text;
    for (const std::string& label : name) {
        if (!text.empty())
            text += '.';
        text += label;
    }
    return text;
}

std::string DnsMessage::nameKey(const DnsName& name)
{
    // Each label goes in behind its length, so that one label holding a dot ("a.b")
    // never keys like two labels.
    std::string key;
    for (const std::string& label : name) {
        key += static_cast<char>(label.size());
        for (const char c : label)
            key += lowerAscii(c);
    }
    return key;
}

} // namespace qv
