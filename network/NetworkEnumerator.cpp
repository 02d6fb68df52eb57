#include "network/NetworkEnumerator.h"

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

} // namespace qv
