// Network enumeration over SMB: one provider, its workgroups, their computers and
// the computers' shares, listed through a qv-smb helper.
#pragma once

#include "network/NetworkEnumerator.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qv {

class SmbClient;

class SmbNetworkEnumerator final : public NetworkEnumerator {
public:
    explicit SmbNetworkEnumerator(SmbClient& client);

    // The root has the one provider; the provider's children are the workgroups;
    // a name-only open of a workgroup lists its computers ("\\NAME"), of a computer
    // its disk and printer shares ("\\NAME\share"). The helper answers each open
    // with the whole list, which is then handed out in batches.
    bool open(const EnumContainer& container, Handle& handle) override;
    EnumResult nextBatch(Handle handle, std::uint32_t& requested, EnumBlock& block, std::uint32_t& blockSize) override;
    void close(Handle handle) override;

    static constexpr const char* kProviderName = "SMB";

    // The listed children of a container, or false when it cannot be listed.
    bool childrenOf(const EnumContainer& container, std::vector<NetResource>& children);
    // The errno value of the last open that failed (EACCES: the server refused the
    // account); 0 before any.
    int lastError() const { return m_lastError.load(std::memory_order_relaxed); }

private:
    struct Open {
        std::vector<NetResource> entries;
        std::size_t next = 0;
    };

    SmbClient& m_client;
    std::mutex m_mutex;
    std::map<Handle, Open> m_open;
    Handle m_nextHandle = 1;
    std::atomic<int> m_lastError{0};
};

} // namespace qv
