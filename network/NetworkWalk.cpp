#include "network/NetworkWalk.h"

#include "network/ComputerWalk.h"
#include "network/EnumerationLoop.h"
#include "network/NetworkDirectory.h"
#include "network/NetworkRows.h"
#include "platform/ComputerListCache.h"
#include "platform/FileSystem.h"
#include "resources/StringTable.h"
#include "results/SearchSink.h"
#include "search/SearchCriteria.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"
#include "search/TypeTable.h"

#include <utility>

namespace qv {

NetworkWalk::NetworkWalk(Services services) : m_services(std::move(services)) {}

NetworkWalk::~NetworkWalk() = default;

SearchSink& NetworkWalk::sink()
{
    return m_pool ? m_pool->walkSink() : m_services.sink;
}

bool NetworkWalk::walk(const SearchCriteria& criteria, const SearchTarget& target, SearchState& state)
{
    m_criteria = &criteria;
    m_state = &state;
    m_rows = std::make_unique<NetworkRows>(criteria);
    m_computers = std::make_unique<ComputerWalk>(
        criteria, state, *m_rows,
        ComputerWalk::Services{m_services.enumerator, m_services.shareFiles, m_services.fileTypes, m_services.sink,
                               m_services.stop});
    // Only a walk over computers has computers to share out.
    const bool parallel = m_services.jobs > 1 && m_services.makeHelper && target.level <= LevelWorkgroup &&
                          criteria.subFolders && criteria.walkDepth >= DepthShares;
    if (parallel)
        m_pool = std::make_unique<ComputerPool>(
            m_services.jobs, criteria, state, *m_rows,
            ComputerPool::Services{m_services.makeHelper, m_services.fileTypes, m_services.sink, m_services.stop});
    // The computers already known are searched while a discovery round still runs.
    // The enumerator outlives the walk (the window's next search uses it again), so
    // the setting goes with the walk however it ends.
    m_services.enumerator.allowLateEntries(m_pool != nullptr);
    // A network or workgroup place: the place's own name, empty for the network.
    const bool walksComputers = target.level == LevelEntireNetwork || target.level == LevelWorkgroup;
    const std::string workgroup = target.level == LevelWorkgroup ? criteria.lookInPath : std::string();
    m_walked.clear();
    if (m_pool && walksComputers && m_services.lastComputers)
        m_pool->searchAhead(likelyComputers(workgroup));
    struct LateEntriesOff {
        NetworkEnumerator& enumerator;
        ~LateEntriesOff() { enumerator.allowLateEntries(false); }
    } lateEntriesOff{m_services.enumerator};
    bool completed = true;
    switch (target.level) {
    case LevelEntireNetwork: completed = entireNetwork(); break;
    case LevelWorkgroup: completed = workgroupStep(criteria.lookInPath, true); break;
    case LevelComputer: completed = computerStep(criteria.lookInPath, true); break;
    case LevelShare: completed = m_computers->walkShare(state.currentWorkgroup, criteria.lookInPath, true); break;
    default: break;
    }
    if (m_pool) {
        completed = walkLateLists() && completed;
        completed = m_pool->finish() && completed;
        noteHelpFound();
        m_pool.reset();
    }
    m_lateLists.clear();
    if (completed && walksComputers && m_services.lastComputers && !m_walked.empty())
        rememberComputers(workgroup);
    return completed;
}

bool NetworkWalk::entireNetwork()
{
    if (m_services.stop.shouldStop())
        return false;
    sink().showStatus(std::string(loadString(IDS_SEARCH_ENTIRE_NETWORK)));
    m_depth = -1;
    return descend(EnumContainer::root());
}

// One level below the root: the providers, then each provider's workgroups.
bool NetworkWalk::descend(const EnumContainer& container)
{
    if (m_services.stop.shouldStop())
        return false;
    EnumerationUser user;
    user.kind = EnumKind::QVAllEnum;
    user.depthCounter = &m_depth;
    const std::string network(loadString(IDS_ENTIRE_NETWORK));
    user.onError = [&](const std::exception& error) {
        ComputerWalk::reportStepError(*m_state, sink(), network, PlaceFailure::Kind::Network, error);
    };
    const EnumOutcome outcome = EnumerationLoop::run(
        m_services.enumerator, container, user, [this](const NetResource& entry) {
            if (!entry.container)
                return true;
            if (m_depth == 0)
                return descend(EnumContainer::ofEntry(entry));
            return m_depth != 1 || workgroupEntry(entry);
        });
    keepLateEntries(true, {});
    // The root and the providers are the entire network: without them nothing is searched.
    if (outcome == EnumOutcome::OpenFailed)
        ComputerWalk::reportOpenFailure(m_services.enumerator, *m_state, sink(), m_services.stop, network,
                                        PlaceFailure::Kind::Network, true);
    return outcome != EnumOutcome::Stopped;
}

bool NetworkWalk::workgroupStep(const std::string& name, bool searchPlace)
{
    if (m_services.stop.shouldStop())
        return false;
    if (m_criteria->walkDepth < DepthComputers)
        return true;
    sink().showStatus(std::string(loadString(IDS_SEARCH_WORKGROUP)) + name + " ...");
    m_state->currentWorkgroup = name;
    EnumerationUser user;
    user.kind = EnumKind::QVGroup;
    user.reuseNameRecord = true;
    user.onError = [&](const std::exception& error) {
        ComputerWalk::reportStepError(*m_state, sink(), name, PlaceFailure::Kind::Workgroup, error);
    };
    const EnumOutcome outcome = EnumerationLoop::run(m_services.enumerator, EnumContainer::named(name), user,
                                                     [this](const NetResource& entry) { return computerEntry(entry); });
    keepLateEntries(false, name);
    if (outcome == EnumOutcome::OpenFailed)
        ComputerWalk::reportOpenFailure(m_services.enumerator, *m_state, sink(), m_services.stop, name,
                                        PlaceFailure::Kind::Workgroup, searchPlace);
    return outcome != EnumOutcome::Stopped;
}

bool NetworkWalk::workgroupEntry(const NetResource& entry)
{
    if (m_criteria->typeMask & TypeWorkgroups)
        m_rows->test(entry.remoteName, NetworkRows::Kind::Workgroup, {}, sink(), *m_state);
    return !m_criteria->subFolders || workgroupStep(entry.remoteName);
}

bool NetworkWalk::computerEntry(const NetResource& entry)
{
    if (m_criteria->typeMask & TypeComputers)
        m_rows->test(entry.remoteName, NetworkRows::Kind::Computer, m_state->currentWorkgroup, sink(), *m_state);
    return !m_criteria->subFolders || computerStep(entry.remoteName);
}

void NetworkWalk::keepLateEntries(bool workgroups, const std::string& workgroup)
{
    NetworkEnumerator::LateEntries late = m_services.enumerator.takeLateEntries();
    if (!late || !m_pool)
        return;
    m_lateLists.push_back({std::move(late), m_pool->reserve(), workgroups, workgroup});
}

bool NetworkWalk::walkLateLists()
{
    // Oldest first: a list's late entries can hold lists that end late in turn, which
    // join the queue in their own reserved places.
    bool completed = true;
    while (!m_lateLists.empty()) {
        LateList late = std::move(m_lateLists.front());
        m_lateLists.pop_front();
        m_pool->fillReserved(late.place, [&] {
            if (m_services.stop.shouldStop()) {
                completed = false;
                return;
            }
            const std::vector<NetResource> entries = late.entries(); // waits for the round
            if (!late.workgroups)
                m_state->currentWorkgroup = late.workgroup;
            for (const NetResource& entry : entries) {
                const bool goOn = late.workgroups ? workgroupEntry(entry) : computerEntry(entry);
                if (!goOn || m_services.stop.shouldStop()) {
                    completed = false;
                    return;
                }
            }
        });
    }
    return completed;
}

std::vector<ComputerPool::Likely> NetworkWalk::likelyComputers(const std::string& workgroup) const
{
    std::vector<ComputerPool::Likely> likely;
    const std::string key = NetworkDirectory::keyOf(workgroup);
    for (ComputerListCache::Entry& entry : m_services.lastComputers->load()) {
        if (workgroup.empty())
            likely.push_back({std::move(entry.workgroup), std::move(entry.computer), entry.helpPays});
        else if (NetworkDirectory::keyOf(entry.workgroup) == key)
            likely.push_back({workgroup, std::move(entry.computer), entry.helpPays}); // as the walk names it
    }
    return likely;
}

void NetworkWalk::noteHelpFound()
{
    const std::int64_t now = ComputerListCache::currentTime();
    for (ComputerListCache::Entry& entry : m_walked)
        if (const std::optional<bool> found = m_pool->helpFound(entry.workgroup, entry.computer)) {
            entry.helpPays = found;
            entry.helpFoundAt = now;
        }
}

void NetworkWalk::rememberComputers(const std::string& workgroup)
{
    const std::vector<ComputerListCache::Entry> last = m_services.lastComputers->load();
    // Where this walk's trials found nothing, what the last walk knew still holds.
    for (ComputerListCache::Entry& entry : m_walked) {
        if (entry.helpPays)
            continue;
        for (const ComputerListCache::Entry& before : last)
            if (before.helpPays && NetworkDirectory::keyOf(before.workgroup) == NetworkDirectory::keyOf(entry.workgroup)
                && before.computer == entry.computer) {
                entry.helpPays = before.helpPays;
                entry.helpFoundAt = before.helpFoundAt;
                break;
            }
    }
    std::vector<ComputerListCache::Entry> kept;
    if (workgroup.empty()) {
        kept = m_walked;
    } else {
        // The workgroup's computers take the place of the ones the file held for it.
        const std::string key = NetworkDirectory::keyOf(workgroup);
        bool placed = false;
        for (const ComputerListCache::Entry& entry : last) {
            if (NetworkDirectory::keyOf(entry.workgroup) != key)
                kept.push_back(entry);
            else if (!std::exchange(placed, true))
                kept.insert(kept.end(), m_walked.begin(), m_walked.end());
        }
        if (!placed)
            kept.insert(kept.end(), m_walked.begin(), m_walked.end());
    }
    m_services.lastComputers->save(kept);
}

bool NetworkWalk::computerStep(const std::string& name, bool searchPlace)
{
    m_state->currentComputer = name;
    if (!searchPlace)
        m_walked.push_back({m_state->currentWorkgroup, name});
    if (!m_pool)
        return m_computers->walk(m_state->currentWorkgroup, name, searchPlace);
    m_pool->walkComputer(m_state->currentWorkgroup, name);
    return !m_services.stop.shouldStop();
}

} // namespace qv
