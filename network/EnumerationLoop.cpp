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
    } catch (...) {
        // An error inside a step ends it as if its list had ended.
        outcome = EnumOutcome::Completed;
    }
    enumerator.releaseBlock(std::move(block), user.kind);
    enumerator.releaseBlock(std::move(nameRecord), user.kind);
    enumerator.close(handle);
    return outcome;
}

} // namespace qv
