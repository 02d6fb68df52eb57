#include "network/ComputerWalk.h"

#include "network/EnumerationLoop.h"
#include "network/NetworkRows.h"
#include "resources/StringTable.h"
#include "results/SearchSink.h"
#include "search/SearchCriteria.h"
#include "search/StopRequest.h"
#include "search/TypeTable.h"

namespace qv {

ComputerWalk::ComputerWalk(const SearchCriteria& criteria, SearchState& state, const NetworkRows& rows,
                           Services services)
    : m_criteria(criteria)
    , m_state(state)
    , m_rows(rows)
    , m_services(services)
    , m_folderWalk(criteria, state, {services.shareFiles, services.fileTypes, services.sink, services.stop})
{
}

bool ComputerWalk::walk(const std::string& workgroup, const std::string& computer)
{
    if (m_services.stop.shouldStop())
        return false;
    if (m_criteria.walkDepth < DepthShares)
        return true;
    m_services.sink.showStatus(std::string(loadString(IDS_SEARCH_COMPUTER)) + workgroup + computer + " ...");
    EnumerationUser user;
    user.kind = EnumKind::QVMachine;
    user.reuseNameRecord = true;
    const EnumOutcome outcome = EnumerationLoop::run(
        m_services.enumerator, EnumContainer::named(computer), user, [&](const NetResource& entry) {
            const int mask = m_criteria.typeMask;
            if (mask & (TypePrinters | TypeShares)) {
                // A printer share is a printer row only when printers are asked for;
                // otherwise it counts as a shared folder.
                const std::string path = workgroup + computer;
                if (entry.print && (mask & TypePrinters))
                    m_rows.test(entry.remoteName, NetworkRows::Kind::Printer, path, m_services.sink, m_state);
                else if (mask & TypeShares)
                    m_rows.test(entry.remoteName, NetworkRows::Kind::Share, path, m_services.sink, m_state);
            }
            return !m_criteria.subFolders || walkShare(workgroup, entry.remoteName);
        });
    return outcome != EnumOutcome::Stopped;
}

bool ComputerWalk::walkShare(const std::string& workgroup, const std::string& share)
{
    if (m_services.stop.shouldStop())
        return false;
    if (m_criteria.walkDepth < DepthFolders)
        return true;
    m_services.sink.showStatus(std::string(loadString(IDS_SEARCH_SHARE)) + workgroup + share + " ...");
    return m_folderWalk.walk(share);
}

} // namespace qv
