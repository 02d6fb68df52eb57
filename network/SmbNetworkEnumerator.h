// Network enumeration over SMB: one provider, its workgroups, their computers and
// the computers' shares, listed through a qv-smb helper.
#pragma once

#include "network/NetworkEnumerator.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace qv {

class NetworkDirectory;
class SmbClient;

class SmbNetworkEnumerator final : public NetworkEnumerator {
public:
    // How the computers and workgroups that only discovery knows join a list.
    enum class Discovered {
        // After the browse list's entries, in a batch of their own that waits for the
        // discovery round to end: the same LAN always gives the same list (searches).
        AfterRound,
        // What the directory holds when the list is made, at once (the tree, which
        // adds later finds as they come).
        KnownNow,
    };

    explicit SmbNetworkEnumerator(SmbClient& client);
    // With a directory, the lists also hold what the discovery sources and the user
    // add: workgroups only discovery knows after the browse list's, their computers,
    // and the typed computers under their own name.
    SmbNetworkEnumerator(SmbClient& client, std::shared_ptr<NetworkDirectory> directory,
                         Discovered discovered = Discovered::AfterRound);

    // The root has the one provider; the provider's children are the workgroups;
    // a name-only open of a workgroup lists its computers ("\\NAME"), of a computer
    // its disk and printer shares ("\\NAME\share"). The helper answers each open
    // with the whole list, which is then handed out in batches.
    bool open(const EnumContainer& container, Handle& handle) override;
    EnumResult nextBatch(Handle handle, std::uint32_t& requested, EnumBlock& block, std::uint32_t& blockSize) override;
    void close(Handle handle) override;

    static constexpr const char* kProviderName = "SMB";

    // Asked while a list waits for the discovery round: true ends the wait (the
    // search was stopped), and the list goes on with what the directory holds. By
    // default: the client has been aborted (what Stop does to a search's client).
    void setStopQuery(std::function<bool()> stopped) { m_stopped = std::move(stopped); }

    void allowLateEntries(bool allowed) override;
    LateEntries takeLateEntries() override;

    // The listed children of a container, or false when it cannot be listed.
    bool childrenOf(const EnumContainer& container, std::vector<NetResource>& children);
    // The client's text for a helper that could not be started (ENOPKG).
    std::string errorDetail(int error) const override;

private:
    struct Open {
        std::vector<NetResource> entries;
        std::size_t next = 0;
        // Discovered entries still to come once the browse list's are handed out:
        // the workgroups (root) or one workgroup's computers.
        bool extrasPending = false;
        bool workgroupExtras = false;
        std::string workgroup;
    };

    // The browse list's entries (and, where no browse list answered, discovery's).
    bool listChildren(const EnumContainer& container, Open& open);
    void takeExtras(Open& open);
    bool listRoot(std::vector<NetResource>& children, bool& extrasPending);
    bool listWorkgroup(const std::string& name, std::vector<NetResource>& children, bool& extrasPending);
    // The entries discovery adds to a list that holds `listed`; with AfterRound it
    // waits for the round first.
    std::vector<NetResource> extrasFor(const Open& open);

    SmbClient& m_client;
    std::shared_ptr<NetworkDirectory> m_directory;
    Discovered m_discovered = Discovered::AfterRound;
    std::function<bool()> m_stopped;
    bool m_allowLate = false;  // guarded by m_mutex
    LateEntries m_late;        // guarded by m_mutex
    // The workgroups the network's browse list named, once it has been read: one it
    // did not name has no master browser to ask (each attempt costs a broadcast).
    std::mutex m_browsedMutex;
    bool m_rootBrowsed = false;
    std::set<std::string> m_browsedWorkgroups; // NetworkDirectory::keyOf
    std::mutex m_mutex;
    std::map<Handle, Open> m_open;
    Handle m_nextHandle = 1;
};

} // namespace qv
