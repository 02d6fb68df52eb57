#include "results/CellTextPool.h"

#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>

namespace qv {
namespace {

constexpr std::size_t kFirstSlots = 64;
constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);
const char kEmpty[kLengthBytes + 1] = {};

} // namespace

CellTextPool::CellTextPool()
{
    clear();
}

void CellTextPool::clear()
{
    m_blocks.clear();
    m_largeTexts.clear();
    m_blockUsed = kBlockBytes;
    m_texts.assign(1, kEmpty + kLengthBytes);
    m_slots.assign(kFirstSlots, 0);
    m_indexed = 0;
}

std::uint32_t CellTextPool::intern(std::string_view text)
{
    if (text.empty())
        return 0;
    const auto hash = static_cast<std::uint32_t>(std::hash<std::string_view>{}(text) >> 16);
    const std::size_t slot = slotOf(text, hash);
    if (m_slots[slot] != 0)
        return static_cast<std::uint32_t>(m_slots[slot]) - 1;
    const std::uint32_t id = newId(text);
    m_slots[slot] = (std::uint64_t{hash} << 32) | (id + 1);
    // At most three slots in four in use keeps the probe runs short.
    if (++m_indexed * 4 > m_slots.size() * 3)
        growIndex();
    return id;
}

std::uint32_t CellTextPool::add(std::string_view text)
{
    return text.empty() ? 0 : newId(text);
}

std::uint32_t CellTextPool::newId(std::string_view text)
{
    if (m_texts.size() >= std::numeric_limits<std::uint32_t>::max() - 1
        || text.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many distinct cell texts");
    const auto id = static_cast<std::uint32_t>(m_texts.size());
    m_texts.push_back(store(text));
    return id;
}

std::string_view CellTextPool::text(std::uint32_t id) const
{
    const char* data = m_texts[id];
    std::uint32_t length = 0;
    std::memcpy(&length, data - kLengthBytes, kLengthBytes);
    return {data, length};
}

std::size_t CellTextPool::slotOf(std::string_view text, std::uint32_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hash & mask;
    for (; m_slots[slot] != 0; slot = (slot + 1) & mask)
        if (static_cast<std::uint32_t>(m_slots[slot] >> 32) == hash
            && this->text(static_cast<std::uint32_t>(m_slots[slot]) - 1) == text)
            break;
    return slot;
}

void CellTextPool::growIndex()
{
    std::vector<std::uint64_t> old(m_slots.size() * 2, 0);
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const std::uint64_t entry : old) {
        if (entry == 0)
            continue;
        std::size_t slot = (entry >> 32) & mask;
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = entry;
    }
}

const char* CellTextPool::store(std::string_view text)
{
    const auto length = static_cast<std::uint32_t>(text.size());
    const std::size_t bytes = kLengthBytes + text.size();
    char* at = nullptr;
    // A text longer than a block gets an allocation of its own.
    if (bytes > kBlockBytes) {
        at = m_largeTexts.emplace_back(new char[bytes]).get();
    } else {
        if (kBlockBytes - m_blockUsed < bytes) {
            m_blocks.emplace_back(new char[kBlockBytes]);
            m_blockUsed = 0;
        }
        at = m_blocks.back().get() + m_blockUsed;
        m_blockUsed += bytes;
    }
    std::memcpy(at, &length, kLengthBytes);
    std::memcpy(at + kLengthBytes, text.data(), text.size());
    return at + kLengthBytes;
}

} // namespace qv
