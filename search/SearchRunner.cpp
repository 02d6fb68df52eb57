#include "search/SearchRunner.h"

#include "resources/StringTable.h"
#include "search/FolderWalk.h"
#include "search/SearchCriteria.h"
#include "results/SearchSink.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"
#include "search/TypeTable.h"

namespace qv {

SearchRunner::Walk SearchRunner::walkFor(int level, int walkDepth)
{
    if (level >= LevelFolder)
        return walkDepth == DepthFolders ? Walk::Folder : Walk::Nothing;
    return level <= walkDepth ? Walk::Network : Walk::Nothing;
}

std::string SearchRunner::countText(long long count)
{
    return std::to_string(count) + std::string(loadString(IDS_COUNT_FOUND));
}

bool SearchRunner::run(const SearchCriteria& criteria, const SearchTarget& target, SearchState& state)
{
    bool completed = true;
    if (m_services.stop.shouldStop()) {
        completed = false;
    } else {
        switch (walkFor(target.level, criteria.walkDepth)) {
        case Walk::Folder: {
            FileSystem* files = target.local ? &m_services.localFiles : m_services.networkFiles;
            if (files) {
                FolderWalk walk(criteria, state,
                                {*files, m_services.fileTypes, m_services.sink, m_services.stop});
                completed = walk.walk(target.walkRoot);
            }
            break;
        }
        case Walk::Network:
            if (m_services.network)
                completed = m_services.network->walk(criteria, target, state);
            break;
        case Walk::Nothing:
            break;
        }
    }
    if (!state.placeFailed.load())
        m_services.sink.showStatus(countText(state.foundCount.load()));
    return completed && !m_services.stop.isRequested();
}

} // namespace qv
