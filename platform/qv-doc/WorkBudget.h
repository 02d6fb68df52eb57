// What the helper may still spend on the file in hand: time (counted only while it
// works on a request, not while the search is busy with the text it was given) and
// decompressed bytes.
#pragma once

#include "platform/DocumentLimits.h"

#include <chrono>
#include <cstdint>

namespace qv {

class WorkBudget final {
public:
    using Clock = std::chrono::steady_clock;

    void reset(const DocumentLimits& limits)
    {
        m_limits = limits;
        m_spent = Clock::duration::zero();
        m_decompressed = 0;
        m_running = false;
    }
    void start()
    {
        m_since = Clock::now();
        m_running = true;
    }
    void stop()
    {
        if (m_running)
            m_spent += Clock::now() - m_since;
        m_running = false;
    }
    bool timeLeft() const
    {
        const auto spent = m_spent + (m_running ? Clock::now() - m_since : Clock::duration::zero());
        return spent < std::chrono::milliseconds(m_limits.milliseconds);
    }
    // False once the bytes decompressed in all pass the limit.
    bool takeDecompressed(std::uint64_t bytes)
    {
        m_decompressed += bytes;
        return m_decompressed <= m_limits.uncompressedBytes;
    }
    const DocumentLimits& limits() const { return m_limits; }

private:
    DocumentLimits m_limits;
    Clock::duration m_spent{};
    Clock::time_point m_since{};
    std::uint64_t m_decompressed = 0;
    bool m_running = false;
};

} // namespace qv
