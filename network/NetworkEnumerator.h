// Listing the children of a network container: open, next batch, release block, close.
#pragma once

#include "network/EnumBlock.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

enum class EnumResult {
    Ok,          // the block holds a batch
    MoreData,    // the next entry does not fit; the block size now holds the size needed
    NoMoreItems, // the list is complete
    Failure,
};

// A backend lists one container per open. Every open is paired with a close and
// every block allocated with a release; the counters let tests prove it on every path.
class NetworkEnumerator {
public:
    using Handle = int;

    virtual ~NetworkEnumerator() = default;

    // Opens an enumeration of the container's children; false when nothing was opened.
    virtual bool open(const EnumContainer& container, Handle& handle) = 0;
    // Fills the block with the next batch: at most `requested` entries that fit in
    // blockSize bytes. On Ok, requested becomes the number delivered.
    virtual EnumResult nextBatch(Handle handle, std::uint32_t& requested, EnumBlock& block, std::uint32_t& blockSize) = 0;
    virtual void close(Handle handle) = 0;

    std::unique_ptr<EnumBlock> allocateBlock(std::uint32_t size, EnumKind kind);
    // A missing block is ignored.
    void releaseBlock(std::unique_ptr<EnumBlock> block, EnumKind kind);

    // The errno value of the last open that failed, which says why the container could
    // not be listed (EACCES: the server refused the account; EHOSTUNREACH, ETIMEDOUT ...;
    // ENOPKG: a helper of the program could not be started); 0 before any. For the
    // thread that made the open: each walk has an enumerator of its own.
    int lastError() const { return m_lastError.load(std::memory_order_relaxed); }
    // A text of the backend's own for an error it gave, where the number alone does
    // not tell enough (which helper could not be started, and why); empty otherwise.
    virtual std::string errorDetail(int error) const
    {
        (void)error;
        return {};
    }

    // Some lists end with entries that come late: what a discovery round adds once it
    // has ended. With late entries allowed, such a list ends with the entries known
    // now, and the walk that just ran through it takes what gives the rest (waiting
    // for them), to search them later in their place. Without, the list waits for them
    // before its end. The walk sets this for its own enumerator, from its thread.
    using LateEntries = std::function<std::vector<NetResource>()>;
    virtual void allowLateEntries(bool allowed) { (void)allowed; }
    // What gives the late entries of the list that ended last, or nothing when it had
    // none; taking it forgets it.
    virtual LateEntries takeLateEntries() { return {}; }

    int liveBlocks() const { return m_liveBlocks.load(); }
    int openEnumerations() const { return m_openEnumerations.load(); }

protected:
    // Hands out the next entries of a list the backend holds whole: at most
    // `requested` entries that fit in the block; MoreData with the size needed when
    // not even the next one fits; NoMoreItems at the end.
    static EnumResult deliverBatch(const std::vector<NetResource>& all, std::size_t& next, std::uint32_t& requested,
                                   EnumBlock& block, std::uint32_t& blockSize, std::size_t maxEntries = SIZE_MAX);

    // Backends count their opens and closes through these.
    void countOpened() { ++m_openEnumerations; }
    void countClosed() { --m_openEnumerations; }
    void noteError(int error) { m_lastError.store(error, std::memory_order_relaxed); }

private:
    std::atomic<int> m_lastError{0};
    std::atomic<int> m_liveBlocks{0};
    std::atomic<int> m_openEnumerations{0};
};

} // namespace qv
