// Builds one message of the helpers' pipe protocols: integers little-endian, a
// string as its 4-byte length and its bytes, the frame's length prefix in front.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

class MessageWriter final {
public:
    MessageWriter() { m_bytes.resize(4); } // room for the length prefix

    void u8(std::uint8_t v) { m_bytes += static_cast<char>(v); }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    void i64(std::int64_t v)
    {
        const auto u = static_cast<std::uint64_t>(v);
        for (int i = 0; i < 8; ++i)
            m_bytes += static_cast<char>((u >> (8 * i)) & 0xFF);
    }
    void str(std::string_view s)
    {
        u32(static_cast<std::uint32_t>(s.size()));
        m_bytes.append(s);
    }
    void reserve(std::size_t n) { m_bytes.reserve(n); }

    // The whole frame, length prefix included.
    std::string finish()
    {
        const auto length = static_cast<std::uint32_t>(m_bytes.size() - 4);
        for (int i = 0; i < 4; ++i)
            m_bytes[static_cast<std::size_t>(i)] = static_cast<char>((length >> (8 * i)) & 0xFF);
        return std::move(m_bytes);
    }

private:
    std::string m_bytes;
};

} // namespace qv
