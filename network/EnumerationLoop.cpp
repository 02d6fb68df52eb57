#include "network/EnumerationLoop.h"

namespace qv {
namespace {

// Counts a batch's depth for as long as its entries are handled.
class DepthScope final {
public:
    explicit DepthScope(int* counter) : m_counter(counter)
    {
        if (m_counter)
            ++*m_counter;
    }
    ~DepthScope()
    {
        if (m_counter)
            --*m_counter;
    }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;

private:
    int* m_counter;
};

// Releases the blocks and closes the enumeration on every way out of the loop, an
// error that goes on to the caller included.
class OpenEnumeration final {
public:
    OpenEnumeration(NetworkEnumerator& enumerator, NetworkEnumerator::Handle handle, EnumKind kind,
                    std::unique_ptr<EnumBlock>& block, std::unique_ptr<EnumBlock>& nameRecord)
        : m_enumerator(enumerator), m_handle(handle), m_kind(kind), m_block(block), m_nameRecord(nameRecord)
    {
    }
    ~OpenEnumeration()
    {
        m_enumerator.releaseBlock(std::move(m_block), m_kind);
        m_enumerator.releaseBlock(std::move(m_nameRecord), m_kind);
        m_enumerator.close(m_handle);
    }
    OpenEnumeration(const OpenEnumeration&) = delete;
    OpenEnumeration& operator=(const OpenEnumeration&) = delete;

private:
    NetworkEnumerator& m_enumerator;
    NetworkEnumerator::Handle m_handle;
    EnumKind m_kind;
    std::unique_ptr<EnumBlock>& m_block;
    std::unique_ptr<EnumBlock>& m_nameRecord;
};

} // namespace

EnumOutcome EnumerationLoop::run(NetworkEnumerator& enumerator, const EnumContainer& container,
                                 const EnumerationUser& user, const EntryHandler& handler)
{
    std::uint32_t blockSize = EnumBlock::kInitialSize;
    std::uint32_t requested = kRequestAll;
    std::unique_ptr<EnumBlock> nameRecord;
    if (user.reuseNameRecord)
        nameRecord = enumerator.allocateBlock(EnumBlock::kInitialSize, user.kind);

    NetworkEnumerator::Handle handle = 0;
    if (!enumerator.open(container, handle)) {
        enumerator.releaseBlock(std::move(nameRecord), user.kind);
        return EnumOutcome::OpenFailed;
    }

    EnumOutcome outcome = EnumOutcome::Completed;
    std::unique_ptr<EnumBlock> block;
    const OpenEnumeration open(enumerator, handle, user.kind, block, nameRecord);
    try {
        for (;;) {
            if (!user.reuseNameRecord)
                block = enumerator.allocateBlock(blockSize, user.kind);
            EnumBlock& current = user.reuseNameRecord ? *nameRecord : *block;
            const EnumResult result = enumerator.nextBatch(handle, requested, current, blockSize);
            if (result == EnumResult::Ok) {
                DepthScope depth(user.depthCounter);
                bool goOn = true;
                for (const NetResource& entry : current.entries) {
                    if (!handler(entry)) {
                        goOn = false;
                        break;
                    }
                }
                if (!goOn) {
                    outcome = EnumOutcome::Stopped;
                    break;
                }
                if (!user.reuseNameRecord)
                    enumerator.releaseBlock(std::move(block), user.kind);
                continue;
            }
            if (result == EnumResult::MoreData && user.retryOnMoreData && !user.reuseNameRecord) {
                enumerator.releaseBlock(std::move(block), user.kind);
                continue;
            }
            break; // no more items, more data for a walk, or a failure: the list ends here
        }
    } catch (const std::exception& error) {
        // An error inside a step ends it as if its list had ended; the user's onError
        // tells whoever searches.
        if (!user.onError)
            throw;
        user.onError(error);
        outcome = EnumOutcome::Completed;
    }
    return outcome;
}

} // namespace qv
