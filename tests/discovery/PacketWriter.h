// Builds binary test packets field by field (big-endian, as DNS and NetBIOS send
// them), so that each test shows the shape of the packet it feeds a parser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::test {

class PacketWriter {
public:
    PacketWriter& u8(unsigned v)
    {
        m_bytes += static_cast<char>(v & 0xFF);
        return *this;
    }
    PacketWriter& u16(unsigned v) { return u8(v >> 8).u8(v); }
    PacketWriter& u32(std::uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
    PacketWriter& raw(std::string_view bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    // One label: its length byte, then the bytes.
    PacketWriter& label(std::string_view text) { return u8(static_cast<unsigned>(text.size())).raw(text); }
    // "hayashi6.local" as labels and the closing zero.
    PacketWriter& name(std::string_view dotted)
    {
        while (!dotted.empty()) {
            const std::size_t dot = dotted.find('.');
            label(dotted.substr(0, dot));
            dotted = dot == std::string_view::npos ? std::string_view{} : dotted.substr(dot + 1);
        }
        return u8(0);
    }
    PacketWriter& pointer(std::size_t offset) { return u8(0xC0 | (offset >> 8)).u8(offset & 0xFF); }
    // DNS header: id, flags and the four counts.
    PacketWriter& header(unsigned id, unsigned flags, unsigned qd, unsigned an, unsigned ns, unsigned ar)
    {
        return u16(id).u16(flags).u16(qd).u16(an).u16(ns).u16(ar);
    }
    // Opens record data: a length placeholder whose value endData() fills in.
    std::size_t beginData()
    {
        u16(0);
        return m_bytes.size();
    }
    PacketWriter& endData(std::size_t start)
    {
        const std::size_t length = m_bytes.size() - start;
        m_bytes[start - 2] = static_cast<char>(length >> 8);
        m_bytes[start - 1] = static_cast<char>(length & 0xFF);
        return *this;
    }
    std::size_t size() const { return m_bytes.size(); }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

} // namespace qv::test
