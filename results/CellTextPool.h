// The distinct texts of one column of result rows, each kept once.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qv {

// A million rows hold a few thousand folder paths, a few hundred type names and far
// fewer distinct times than rows; keeping each text once, packed in large blocks,
// makes a row a handful of numbers. Texts never move once added, so the views it
// hands out stay valid until clear(). Reading (text, count) from several threads is
// safe while no thread adds or clears.
class CellTextPool final {
public:
    CellTextPool();

    // The id of the text, adding it when the pool does not hold it yet. Id 0 is the
    // empty text.
    std::uint32_t intern(std::string_view text);
    // A new id for the text, without looking for it: for texts that seldom repeat
    // (names), where the looking costs more than it saves. intern() does not find
    // texts added this way.
    std::uint32_t add(std::string_view text);
    std::string_view text(std::uint32_t id) const;
    std::size_t count() const { return m_texts.size(); }
    void clear();

private:
    const char* store(std::string_view text);
    void growIndex();
    std::size_t slotOf(std::string_view text, std::uint32_t hash) const;
    std::uint32_t newId(std::string_view text);

    static constexpr std::size_t kBlockBytes = 256 * 1024;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::unique_ptr<char[]>> m_largeTexts;
    std::size_t m_blockUsed = kBlockBytes; // of the last block
    // By id: where the text's bytes start; its length sits in the four bytes before.
    // Half the size of a view, for pools that hold millions of texts.
    std::vector<const char*> m_texts;
    // Open addressing: the text's hash in the high half and its id + 1 in the low
    // half, 0 for a free slot. The hash spares reading the texts that merely share a
    // slot, and growing reads no text at all.
    std::vector<std::uint64_t> m_slots;
    std::size_t m_indexed = 0; // texts in m_slots
};

} // namespace qv
