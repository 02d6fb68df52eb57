#include "network/NetworkWalk.h"

#include "network/EnumerationLoop.h"
#include "platform/FileSystem.h"
#include "resources/StringTable.h"
#include "results/CellFormat.h"
#include "results/ResultRow.h"
#include "platform/CaseFold.h"
#include "search/FolderWalk.h"
#include "search/NamePattern.h"
#include "search/SearchCriteria.h"
#include "results/SearchSink.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"
#include "search/TypeTable.h"

#include <algorithm>

namespace qv {

NetworkWalk::NetworkWalk(Services services) : m_services(services) {}

NetworkWalk::~NetworkWalk() = default;

bool NetworkWalk::walk(const SearchCriteria& criteria, const SearchTarget& target, SearchState& state)
{
    m_criteria = &criteria;
    m_state = &state;
    m_folderWalk = std::make_unique<FolderWalk>(
        criteria, state,
        FolderWalk::Services{m_services.shareFiles, m_services.fileTypes, m_services.sink, m_services.stop});
    // A network name fits a name part when it contains the part's pattern less its
    // "*"s, "?" standing for any one character.
    m_nameTests.clear();
    for (const std::string& pattern : criteria.namePatterns) {
        std::string text = pattern;
        text.erase(std::remove(text.begin(), text.end(), '*'), text.end());
        m_nameTests.push_back("*" + text + "*");
    }
    switch (target.level) {
    case LevelEntireNetwork: return entireNetwork();
    case LevelWorkgroup: return workgroupStep(criteria.lookInPath);
    case LevelComputer: return computerStep(criteria.lookInPath);
    case LevelShare: return shareStep(criteria.lookInPath);
    default: return true;
    }
}

bool NetworkWalk::entireNetwork()
{
    if (m_services.stop.shouldStop())
        return false;
    m_services.sink.showStatus(std::string(loadString(IDS_SEARCH_ENTIRE_NETWORK)));
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
    const EnumOutcome outcome = EnumerationLoop::run(
        m_services.enumerator, container, user, [this](const NetResource& entry) {
            if (!entry.container)
                return true;
            if (m_depth == 0)
                return descend(EnumContainer::ofEntry(entry));
            if (m_depth == 1) {
                if (m_criteria->typeMask & TypeWorkgroups)
                    nameTest(entry.remoteName, RowKind::Workgroup);
                if (m_criteria->subFolders)
                    return workgroupStep(entry.remoteName);
            }
            return true;
        });
    return outcome != EnumOutcome::Stopped;
}

bool NetworkWalk::workgroupStep(const std::string& name)
{
    if (m_services.stop.shouldStop())
        return false;
    if (m_criteria->walkDepth < DepthComputers)
        return true;
    m_services.sink.showStatus(std::string(loadString(IDS_SEARCH_WORKGROUP)) + name + " ...");
    m_state->currentWorkgroup = name;
    EnumerationUser user;
    user.kind = EnumKind::QVGroup;
    user.reuseNameRecord = true;
    const EnumOutcome outcome = EnumerationLoop::run(
        m_services.enumerator, EnumContainer::named(name), user, [this](const NetResource& entry) {
            if (m_criteria->typeMask & TypeComputers)
                nameTest(entry.remoteName, RowKind::Computer);
            return !m_criteria->subFolders || computerStep(entry.remoteName);
        });
    return outcome != EnumOutcome::Stopped;
}

bool NetworkWalk::computerStep(const std::string& name)
{
    if (m_services.stop.shouldStop())
        return false;
    if (m_criteria->walkDepth < DepthShares)
        return true;
    m_services.sink.showStatus(std::string(loadString(IDS_SEARCH_COMPUTER)) + m_state->currentWorkgroup + name + " ...");
    m_state->currentComputer = name;
    EnumerationUser user;
    user.kind = EnumKind::QVMachine;
    user.reuseNameRecord = true;
    const EnumOutcome outcome = EnumerationLoop::run(
        m_services.enumerator, EnumContainer::named(name), user, [this](const NetResource& entry) {
            const int mask = m_criteria->typeMask;
            if (mask & (TypePrinters | TypeShares)) {
                // A printer share is a printer row only when printers are asked for;
                // otherwise it counts as a shared folder.
                if (entry.print && (mask & TypePrinters))
                    nameTest(entry.remoteName, RowKind::Printer);
                else if (mask & TypeShares)
                    nameTest(entry.remoteName, RowKind::Share);
            }
            return !m_criteria->subFolders || shareStep(entry.remoteName);
        });
    return outcome != EnumOutcome::Stopped;
}

bool NetworkWalk::shareStep(const std::string& path)
{
    if (m_services.stop.shouldStop())
        return false;
    if (m_criteria->walkDepth < DepthFolders)
        return true;
    m_services.sink.showStatus(std::string(loadString(IDS_SEARCH_SHARE)) + m_state->currentWorkgroup + path + " ...");
    return m_folderWalk->walk(path);
}

void NetworkWalk::nameTest(const std::string& name, RowKind kind)
{
    const std::string upperName = CaseFold::toUpper(name);
    for (std::size_t i = 0; i < m_nameTests.size(); ++i)
        if (wildcardMatch(m_nameTests[i], upperName))
            addRow(upperName, kind, i);
}

void NetworkWalk::addRow(const std::string& upperName, RowKind kind, std::size_t partIndex)
{
    ResultRow row;
    row.cell(Column::Name) = CellFormat::displayText(upperName);
    switch (kind) {
    case RowKind::Workgroup:
        row.image = ImageWorkgroup;
        row.cell(Column::Type) = loadString(IDS_KIND_WORKGROUP);
        break;
    case RowKind::Computer:
        row.image = ImageComputer;
        row.cell(Column::Path) = CellFormat::displayText(m_state->currentWorkgroup);
        row.cell(Column::Type) = loadString(IDS_KIND_COMPUTER);
        break;
    case RowKind::Printer:
    case RowKind::Share:
        row.image = kind == RowKind::Printer ? ImagePrinter : ImageShare;
        row.cell(Column::Path) = CellFormat::displayText(m_state->currentWorkgroup + m_state->currentComputer);
        row.cell(Column::Type) = loadString(kind == RowKind::Printer ? IDS_KIND_PRINTER : IDS_KIND_SHARE);
        break;
    }
    row.cell(Column::Match) = CellFormat::displayText(m_criteria->nameParts[partIndex]);
    m_services.sink.addRow(std::move(row));
    m_state->foundCount.fetch_add(1, std::memory_order_relaxed);
}

} // namespace qv
