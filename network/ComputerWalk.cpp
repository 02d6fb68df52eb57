#include "network/ComputerWalk.h"

#include "network/EnumerationLoop.h"
#include "network/NetworkEnumerator.h"
#include "network/NetworkRows.h"
#include "resources/StringTable.h"
#include "results/SearchSink.h"
#include "search/SearchCriteria.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"
#include "search/TypeTable.h"

#include <cerrno>

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

void ComputerWalk::reportOpenFailure(NetworkEnumerator& enumerator, SearchState& state, SearchSink& sink,
                                     const StopRequest& stop, const std::string& place, PlaceFailure::Kind kind,
                                     bool searchPlace)
{
    const int error = enumerator.lastError();
    // Stop kills the search's helpers, which then refuse every request.
    if (error == ECANCELED || stop.isRequested())
        return;
    state.reportFailure(sink, PlaceFailure::of(place, kind, error, searchPlace, enumerator.errorDetail(error)));
}

void ComputerWalk::reportStepError(SearchState& state, SearchSink& sink, const std::string& place,
                                   PlaceFailure::Kind kind, const std::exception& error)
{
    state.reportFailure(sink, PlaceFailure::of(place, kind, 0, false,
                                               std::string("its search ended on an error: ") + error.what()));
}

bool ComputerWalk::walk(const std::string& workgroup, const std::string& computer, bool searchPlace)
{
    if (m_services.stop.shouldStop())
        return false;
    if (m_criteria.walkDepth < DepthShares)
        return true;
    m_services.sink.showStatus(std::string(loadString(IDS_SEARCH_COMPUTER)) + workgroup + computer + " ...");
    EnumerationUser user;
    user.kind = EnumKind::QVMachine;
    user.reuseNameRecord = true;
    user.onError = [&](const std::exception& error) {
        reportStepError(m_state, m_services.sink, computer, PlaceFailure::Kind::Computer, error);
    };
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
            return !m_criteria.subFolders || walkShare(workgroup, entry.remoteName, false, entry.print);
        });
    if (outcome == EnumOutcome::OpenFailed)
        reportOpenFailure(m_services.enumerator, m_state, m_services.sink, m_services.stop, computer,
                          PlaceFailure::Kind::Computer, searchPlace);
    return outcome != EnumOutcome::Stopped;
}

bool ComputerWalk::walkShare(const std::string& workgroup, const std::string& share, bool searchPlace, bool printer)
{
    if (m_services.stop.shouldStop())
        return false;
    if (m_criteria.walkDepth < DepthFolders)
        return true;
    m_services.sink.showStatus(std::string(loadString(IDS_SEARCH_SHARE)) + workgroup + share + " ...");
    return m_folderWalk.walk(share, PlaceFailure::Kind::Share, searchPlace, !printer);
}

} // namespace qv
