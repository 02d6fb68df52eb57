// The one loop by which every user lists a container: open, batches until the list
// ends, release the last block, close; on every path, stop and error included.
#pragma once

#include "network/NetworkEnumerator.h"

#include <exception>
#include <functional>

namespace qv {

struct EnumerationUser {
    EnumKind kind = EnumKind::None;
    // The workgroup and computer steps open by a name-only record and reuse it as
    // the block of every batch; the others take a fresh block per batch.
    bool reuseNameRecord = false;
    // The location tree retries with the larger block the backend asks for; the
    // search walks end the level instead.
    bool retryOnMoreData = false;
    // Incremented when a batch arrives and decremented after its entries, where the
    // user keeps a depth counter.
    int* depthCounter = nullptr;
    // Told of an error raised inside the handler (memory running out while a row is
    // built), which then ends the list as if it had ended. Without one the error goes
    // on to the caller, once the blocks are released and the enumeration is closed.
    std::function<void(const std::exception&)> onError;
};

enum class EnumOutcome {
    OpenFailed, // nothing was opened
    Completed,  // the list ended (or ended with an error, which counts as its end, or an
                // error inside the handler that the user's onError took)
    Stopped,    // the handler asked to stop; later entries and batches were not asked for
};

class EnumerationLoop final {
public:
    // Called for every entry in delivery order while its block is alive; false stops.
    using EntryHandler = std::function<bool(const NetResource&)>;

    static EnumOutcome run(NetworkEnumerator& enumerator, const EnumContainer& container,
                           const EnumerationUser& user, const EntryHandler& handler);

    static constexpr std::uint32_t kRequestAll = 0xFFFFFFFF;
};

} // namespace qv
