// Reads the fields of one message of the helpers' pipe protocols, in order. After
// the first field that does not fit, every later read fails too, so callers check
// ok() or done() once at the end: garbage is refused, never trusted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

class MessageReader final {
public:
    explicit MessageReader(std::string_view bytes) : m_bytes(bytes) {}

    std::uint8_t u8()
    {
        if (!need(1))
            return 0;
        return static_cast<std::uint8_t>(m_bytes[m_pos++]);
    }
    std::uint32_t u32()
    {
        if (!need(4))
            return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(m_bytes[m_pos++])) << (8 * i);
        return v;
    }
    std::int64_t i64()
    {
        if (!need(8))
            return 0;
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(m_bytes[m_pos++])) << (8 * i);
        return static_cast<std::int64_t>(v);
    }
    std::string str()
    {
        const std::uint32_t n = u32();
        if (!need(n))
            return {};
        std::string s(m_bytes.substr(m_pos, n));
        m_pos += n;
        return s;
    }
    // A count of items of at least `itemSize` bytes each: one that cannot fit in what
    // is left fails here, before anything is reserved for it.
    std::uint32_t count(std::size_t itemSize)
    {
        const std::uint32_t n = u32();
        if (m_ok && n > (m_bytes.size() - m_pos) / itemSize)
            m_ok = false;
        return m_ok ? n : 0;
    }
    void fail() { m_ok = false; }
    bool ok() const { return m_ok; }
    bool done() const { return m_ok && m_pos == m_bytes.size(); }

private:
    bool need(std::size_t n)
    {
        if (m_ok && n > m_bytes.size() - m_pos)
            m_ok = false;
        return m_ok;
    }

    std::string_view m_bytes;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

} // namespace qv
