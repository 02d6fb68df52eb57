// A block that receives one batch of enumeration entries, labelled by the walk that owns it.
#pragma once

#include "network/NetResource.h"

#include <cstdint>
#include <vector>

namespace qv {

// Which walk owns a block; the label has no effect on behaviour.
enum class EnumKind { None, QVAllEnum, QVGroup, QVMachine, DynamicEnum };

struct EnumBlock {
    std::uint32_t size = 0;
    EnumKind kind = EnumKind::None;
    std::vector<NetResource> entries; // the last batch delivered into this block

    // Bytes an entry takes in a block: its record and its name with a terminator.
    static constexpr std::uint32_t kRecordSize = 32;
    static std::uint32_t bytesFor(const NetResource& entry)
    {
        return kRecordSize + static_cast<std::uint32_t>(entry.remoteName.size()) + 1;
    }
    static constexpr std::uint32_t kInitialSize = 16384;
};

} // namespace qv
