// An in-memory network for tests: providers, workgroups, computers and shares, with
// batch sizes, more-data answers, failing opens and failing batches on demand. It
// counts open enumerations and live blocks, so a test can prove the release discipline.
#pragma once

#include "network/NetworkEnumerator.h"

#include <cerrno>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace qv::test {

class ScriptedNetwork final : public NetworkEnumerator {
public:
    // Children of the root (its providers); of a provider entry ("entry:NAME"); or
    // of a container opened by name ("WG", "\\HOST").
    void setChildren(const std::string& key, std::vector<NetResource> children);

    // A typical network: one provider "SMB" with the given workgroups, each with
    // computers "\\NAME", each with shares ("\\NAME\share"; "lp" and names ending
    // in "-printer" are printer shares).
    void addWorkgroup(const std::string& workgroup,
                      const std::map<std::string, std::vector<std::string>>& computersAndShares);

    // Entries the list of `key` gives last and late, as discovery's: once `waitForLate`
    // has returned (it may wait). With late entries allowed the list ends without them
    // and takeLateEntries() gives them; otherwise the list waits for them.
    void setLateChildren(const std::string& key, std::vector<NetResource> children);
    std::function<void()> waitForLate;

    bool open(const EnumContainer& container, Handle& handle) override;
    EnumResult nextBatch(Handle handle, std::uint32_t& requested, EnumBlock& block, std::uint32_t& blockSize) override;
    void close(Handle handle) override;
    void allowLateEntries(bool allowed) override;
    LateEntries takeLateEntries() override;

    std::size_t maxEntriesPerBatch = 1000;
    std::set<std::string> failingOpens;            // keys whose open fails, with openError
    int openError = EHOSTUNREACH;                  // an unknown key fails with ENOENT
    std::set<std::string> failingAfterFirstBatch;  // keys whose second batch call fails
    std::function<void(const std::string&)> onOpen; // called with the key of every open

    std::vector<std::uint32_t> requestsSeen; // the requested count of every batch call
    std::vector<std::string> opened;         // keys, in order of opening
    int misuses = 0;                          // batches of closed handles, closes of closed handles

private:
    static std::string keyOf(const EnumContainer& container);

    struct Open {
        std::string key;
        std::vector<NetResource> entries;
        std::size_t next = 0;
        int batches = 0;
        bool latePending = false;
    };
    std::vector<NetResource> lateChildren(const std::string& key);

    std::mutex m_mutex;
    std::map<std::string, std::vector<NetResource>> m_children;
    std::map<std::string, std::vector<NetResource>> m_lateChildren;
    bool m_allowLate = false;
    LateEntries m_late;
    std::map<Handle, Open> m_open;
    Handle m_nextHandle = 1;
};

} // namespace qv::test
