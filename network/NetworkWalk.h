// The search's walk down the network: workgroups, computers and shares whose names
// fit the name patterns become rows, and every share reached is searched by the
// folder walk. With more than one job the computers are searched at the same time
// (ComputerPool), and the rows still come in the order of the walk of one at a time.
#pragma once

#include "network/ComputerPool.h"
#include "network/NetworkEnumerator.h"
#include "platform/ComputerListCache.h"
#include "search/SearchRunner.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class ComputerWalk;
class FileSystem;
class FileTypeInfo;
class NetworkRows;
class SearchSink;
class StopRequest;

class NetworkWalk final : public NetworkSearch {
public:
    struct Services {
        NetworkEnumerator& enumerator;
        FileSystem& shareFiles; // "\\HOST\share\..." paths
        FileTypeInfo& fileTypes;
        SearchSink& sink;
        StopRequest& stop;
        // Computers searched at once; 1 (or no maker of helpers) walks them one by one.
        int jobs = 1;
        ComputerPool::HelperMaker makeHelper = {};
        // The computers the last walk of the network went to; with several jobs the
        // first of them are searched while the walk still waits for its lists. May be
        // null: nothing is kept, and no computer is searched ahead.
        std::shared_ptr<const ComputerListCache> lastComputers = {};
    };

    explicit NetworkWalk(Services services);
    ~NetworkWalk() override;

    // Starts the step of the target's level with the look-in path.
    bool walk(const SearchCriteria& criteria, const SearchTarget& target, SearchState& state) override;

private:
    bool entireNetwork();
    bool descend(const EnumContainer& container);
    bool workgroupStep(const std::string& name, bool searchPlace = false);
    bool computerStep(const std::string& name, bool searchPlace = false);
    // A workgroup of the network, and a computer of the current workgroup, as their
    // lists give them.
    bool workgroupEntry(const NetResource& entry);
    bool computerEntry(const NetResource& entry);
    // With computers searched at once, the entries a list gives late are searched
    // after the rest of the walk has been queued, in a place kept for them where the
    // list ended.
    struct LateList {
        NetworkEnumerator::LateEntries entries;
        ComputerPool::Reserved place;
        bool workgroups; // else the computers of `workgroup`
        std::string workgroup;
    };
    void keepLateEntries(bool workgroups, const std::string& workgroup);
    bool walkLateLists();
    // Where the walk's own rows and texts go: the sink, or its place in the pool's order.
    SearchSink& sink();
    // The computers the last walk of the place went to (`workgroup` empty: of the
    // entire network), and what this walk went to, kept for the next one with what
    // its trials found about help (else what the last walk knew).
    std::vector<ComputerPool::Likely> likelyComputers(const std::string& workgroup) const;
    void noteHelpFound();
    void rememberComputers(const std::string& workgroup);

    Services m_services;
    const SearchCriteria* m_criteria = nullptr;
    SearchState* m_state = nullptr;
    std::unique_ptr<NetworkRows> m_rows;
    std::unique_ptr<ComputerWalk> m_computers; // the computers walked on this thread
    std::unique_ptr<ComputerPool> m_pool;      // or those walked in parallel
    int m_depth = -1;                          // of the entire-network walk's batches
    std::deque<LateList> m_lateLists;          // oldest first
    std::vector<ComputerListCache::Entry> m_walked; // the computers gone to, in order
};

} // namespace qv
