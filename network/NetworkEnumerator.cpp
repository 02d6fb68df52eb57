#include "network/NetworkEnumerator.h"

#include <algorithm>

namespace qv {

std::unique_ptr<EnumBlock> NetworkEnumerator::allocateBlock(std::uint32_t size, EnumKind kind)
{
    auto block = std::make_unique<EnumBlock>();
    block->size = size;
    block->kind = kind;
    ++m_liveBlocks;
    return block;
}

void NetworkEnumerator::releaseBlock(std::unique_ptr<EnumBlock> block, EnumKind kind)
{
    (void)kind;
    if (!block)
        return;
    block.reset();
    --m_liveBlocks;
}

EnumResult NetworkEnumerator::deliverBatch(const std::vector<NetResource>& all, std::size_t& next,
                                           std::uint32_t& requested, EnumBlock& block, std::uint32_t& blockSize,
                                           std::size_t maxEntries)
{
    if (next >= all.size())
        return EnumResult::NoMoreItems;
    block.entries.clear();
    std::uint32_t used = 0;
    const std::size_t limit = std::min<std::size_t>({requested, maxEntries, all.size() - next});
    while (block.entries.size() < limit) {
        const std::uint32_t bytes = EnumBlock::bytesFor(all[next]);
        if (used + bytes > block.size)
            break;
        block.entries.push_back(all[next]);
        used += bytes;
        ++next;
    }
    if (block.entries.empty()) {
        blockSize = EnumBlock::bytesFor(all[next]);
        return EnumResult::MoreData;
    }
    requested = static_cast<std::uint32_t>(block.entries.size());
    return EnumResult::Ok;
}

} // namespace qv
