// One cell's text as the result list gives it: a view of the text the list keeps, or
// the text of a time the list keeps as a number, held in the value itself.
#pragma once

#include <array>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace qv {

class CellText final {
public:
    CellText() = default;
    // A text that lives as long as the list (a view of one of its pools).
    explicit CellText(std::string_view kept) : m_data(kept.data()), m_size(kept.size()) {}
    // A text of at most kHeld bytes, copied into the value.
    static CellText held(std::string_view text);

    CellText(const CellText& other) { *this = other; }
    CellText& operator=(const CellText& other);

    const char* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::string_view view() const& { return {m_data, m_size}; }
    // Only from a value that stays: a view of a temporary's own bytes would dangle.
    operator std::string_view() const& { return view(); }
    operator std::string_view() const&& = delete;
    std::string str() const { return std::string(m_data, m_size); }

    friend bool operator==(const CellText& a, std::string_view b) { return a.view() == b; }
    friend std::ostream& operator<<(std::ostream& out, const CellText& text) { return out << text.view(); }

    static constexpr std::size_t kHeld = 24;

private:
    bool isHeld() const { return m_data == m_held.data(); }

    std::array<char, kHeld> m_held{};
    const char* m_data = m_held.data();
    std::size_t m_size = 0;
};

inline CellText CellText::held(std::string_view text)
{
    CellText cell;
    cell.m_size = text.size() < kHeld ? text.size() : kHeld;
    text.copy(cell.m_held.data(), cell.m_size);
    return cell;
}

inline CellText& CellText::operator=(const CellText& other)
{
    if (this == &other)
        return *this;
    m_size = other.m_size;
    if (other.isHeld()) {
        m_held = other.m_held;
        m_data = m_held.data();
    } else {
        m_data = other.m_data;
    }
    return *this;
}

} // namespace qv
