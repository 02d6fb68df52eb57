// Office documents and PDFs a search gave up, by reason: they matched nothing, and
// qvsearch says how many there were.
#pragma once

#include "platform/DocumentReader.h"

#include <atomic>
#include <cstdint>

namespace qv {

struct DocumentCounts {
    std::atomic<std::int64_t> overLimit{0}; // too large, too deep, too many entries, too slow
    std::atomic<std::int64_t> encrypted{0};
    std::atomic<std::int64_t> damaged{0};

    // Counts a verdict that gave the file up; others are no failure of the file.
    void count(DocumentVerdict verdict)
    {
        switch (verdict) {
        case DocumentVerdict::OverLimit: overLimit.fetch_add(1, std::memory_order_relaxed); break;
        case DocumentVerdict::Encrypted: encrypted.fetch_add(1, std::memory_order_relaxed); break;
        case DocumentVerdict::Damaged: damaged.fetch_add(1, std::memory_order_relaxed); break;
        default: break;
        }
    }
    std::int64_t total() const { return overLimit.load() + encrypted.load() + damaged.load(); }
    void reset()
    {
        overLimit.store(0);
        encrypted.store(0);
        damaged.store(0);
    }
};

} // namespace qv
