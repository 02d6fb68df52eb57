#include "search/FolderWalk.h"

#include "platform/FileSystem.h"
#include "platform/FileTypeInfo.h"
#include "resources/StringTable.h"
#include "results/CellFormat.h"
#include "results/ResultRow.h"
#include "search/SearchCriteria.h"
#include "results/SearchSink.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"
#include "search/TypeTable.h"

#include <cerrno>

namespace qv {
namespace {

std::int64_t timeOfType(const FileEntry& entry, int timeType)
{
    switch (static_cast<TimeType>(timeType)) {
    case TimeType::Creation: return entry.created;
    case TimeType::Access: return entry.accessed;
    case TimeType::Update:
    default: return entry.written;
    }
}

} // namespace

FolderWalk::FolderWalk(const SearchCriteria& criteria, SearchState& state, Services services)
    : m_criteria(criteria)
    , m_state(state)
    , m_services(services)
    , m_content(services.fileSystem, services.sink, services.stop)
    , m_separator(services.fileSystem.separator())
{
    m_patterns.reserve(criteria.namePatterns.size());
    for (const std::string& pattern : criteria.namePatterns)
        m_patterns.emplace_back(pattern);
    if (criteria.containing)
        m_content.setStrings(criteria.containingStrings);
    m_content.setDocuments(criteria.documents, &state.documentsGivenUp);
}

void FolderWalk::showFolderStatus(const std::string& shownRelative)
{
    std::string status(loadString(IDS_SEARCH_FOLDER));
    status += m_shownRoot;
    status += shownRelative;
    status += " ...\n";
    m_services.sink.showStatus(status);
}

void FolderWalk::reportFailure(const std::string& shownPath, PlaceFailure::Kind kind, int error, bool searchPlace)
{
    // A stopped search's SMB helper refuses every request: that is no failure of the place.
    if (error == ECANCELED || m_services.stop.isRequested())
        return;
    m_state.reportFailure(m_services.sink,
                          PlaceFailure::of(shownPath.empty() ? std::string(1, m_separator) : shownPath, kind, error,
                                           searchPlace, m_services.fileSystem.errorDetail(error)));
}

bool FolderWalk::walk(const std::string& walkRoot, PlaceFailure::Kind rootKind, bool rootIsSearchPlace, bool tellRoot)
{
    m_walkRoot = walkRoot;
    m_shownRoot = m_names.shownPath(walkRoot, m_separator);
    if (m_services.stop.shouldStop())
        return false;
    showFolderStatus({});
    int error = 0;
    const std::unique_ptr<FolderListing> listing = m_services.fileSystem.list(m_walkRoot, error);
    if (!listing) {
        if (tellRoot)
            reportFailure(m_shownRoot, rootKind, error, rootIsSearchPlace);
        return true;
    }
    return walkFolder({}, {}, *listing, 0);
}

// The folder was listed once by the caller: every pattern is applied to that one
// listing, in list order, which gives the rows a listing per pattern would give.
bool FolderWalk::walkFolder(const std::string& relative, const std::string& shownRelative, FolderListing& listing,
                            int depth)
{
    Folder folder{m_walkRoot + relative, m_shownRoot + shownRelative, false};
    folder.shownAsIs = folder.shown == folder.path;
    // The entries of the file system's root ("/") are in "/", though the walk joins
    // their paths to the empty root.
    if (folder.shown.empty())
        folder.shown.assign(1, m_separator);
    std::string matchText;
    for (std::size_t p = 0; p < m_patterns.size(); ++p)
        if (!testEntries(folder, listing, p, matchText))
            return false;
    if (!m_criteria.subFolders)
        return true;

    std::vector<std::string> subFolders;
    for (const FileEntry& entry : listing.entries())
        if (entry.isFolder && !entry.isLink)
            subFolders.push_back(entry.name);
    listing.entries().clear();
    listing.entries().shrink_to_fit();
    if (depth >= kDeepestHeldListing)
        listing.release();

    for (const std::string& name : subFolders) {
        std::string childRelative = relative;
        childRelative += m_separator;
        childRelative += name;
        if (m_services.stop.shouldStop())
            return false;
        std::string childShown = shownRelative;
        childShown += m_separator;
        childShown += m_names.shown(name);
        int error = 0;
        const std::unique_ptr<FolderListing> child =
            m_services.fileSystem.listSubFolder(listing, name, m_walkRoot + childRelative, error);
        if (!child) {
            // A folder gone (or replaced by a file or link) since the listing was not
            // there to be read.
            if (error != ENOENT && error != ENOTDIR)
                reportFailure(m_shownRoot + childShown, PlaceFailure::Kind::Folder, error, false);
            continue;
        }
        showFolderStatus(childShown);
        if (!walkFolder(childRelative, childShown, *child, depth + 1))
            return false;
    }
    return true;
}

bool FolderWalk::testEntries(const Folder& folder, FolderListing& listing, std::size_t patternIndex,
                             std::string& matchText)
{
    const NamePattern& pattern = m_patterns[patternIndex];
    std::string fullPath;
    for (FileEntry& entry : listing.entries()) {
        if (m_services.stop.shouldStop())
            return false;
        if (!nameFits(pattern, entry.name))
            continue;
        fullPath.assign(folder.path);
        fullPath += m_separator;
        fullPath += entry.name;
        if (!passes(entry, listing, fullPath, matchText))
            continue;
        if (!listing.loadDetails(entry))
            continue; // vanished since the listing
        addRow(entry, folder, fullPath, patternIndex, matchText);
        m_state.foundCount.fetch_add(1, std::memory_order_relaxed);
    }
    return true;
}

// Patterns are matched against the name's text, so that a CP932 name is found by
// the words it shows; "*" and "*.*" need no text at all.
bool FolderWalk::nameFits(const NamePattern& pattern, const std::string& name)
{
    return pattern.matchesEverything() || pattern.matches(m_names.of(name).text);
}

// The size, time and content conditions; a folder is never tested for size or
// content, so it fails whenever either of those is asked for.
bool FolderWalk::passes(FileEntry& entry, FolderListing& listing, const std::string& fullPath,
                        std::string& matchText)
{
    const bool timeApplies = m_criteria.timeConditionApplies();
    const bool sizeApplies = m_criteria.sizeConditionApplies();
    if (entry.isFolder && (sizeApplies || m_criteria.containing))
        return false;
    // The times are taken before the content is read: the read moves the access time.
    if ((timeApplies || sizeApplies || m_criteria.containing) && !listing.loadDetails(entry))
        return false;
    if (timeApplies) {
        const std::int64_t t = timeOfType(entry, m_criteria.timeType);
        if (t < m_criteria.startTime || t > m_criteria.endTime)
            return false;
    }
    if (sizeApplies) {
        const std::int64_t kb = entry.size / 1024;
        if (kb < m_criteria.minimumKb || kb > m_criteria.maximumKb)
            return false;
    }
    if (m_criteria.containing)
        return m_content.match(listing, entry, fullPath, matchText);
    return true;
}

void FolderWalk::addRow(const FileEntry& entry, const Folder& folder, const std::string& fullPath,
                        std::size_t patternIndex, const std::string& matchText)
{
    ResultRow row;
    row.cell(Column::Name) = m_names.shown(entry.name);
    row.cell(Column::Path) = folder.shown;
    // Opening and links need the real bytes; ordinary rows keep none, which saves the memory.
    if (!folder.shownAsIs || row.cell(Column::Name) != entry.name)
        row.sourcePath = fullPath;
    if (entry.isFolder) {
        row.cell(Column::Type) = loadString(IDS_KIND_FOLDER);
        row.image = ImageFolder;
    } else {
        const FileType type = m_services.fileTypes.typeOf(entry.name);
        row.cell(Column::Size) = CellFormat::sizeKb(entry.size);
        row.cell(Column::Type) = type.typeName;
        row.image = m_state.rowImages().indexForIcon(type.iconName);
    }
    row.cell(Column::Updated) = CellFormat::time(entry.written);
    row.cell(Column::Created) = CellFormat::time(entry.created);
    row.cell(Column::Accessed) = CellFormat::time(entry.accessed);
    row.cell(Column::Match) = CellFormat::displayText(m_criteria.nameParts[patternIndex]);
    if (m_criteria.containing)
        row.cell(Column::MatchString) = CellFormat::displayText(matchText);
    m_services.sink.addRow(std::move(row));
}

} // namespace qv
