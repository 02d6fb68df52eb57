#include "network/SearchJobBuilder.h"

#include "network/NetworkWalk.h"
#include "network/PrefetchingFileSystem.h"
#include "network/SearchServices.h"
#include "network/SmbNetworkEnumerator.h"
#include "platform/SmbClient.h"
#include "platform/SmbFileSystem.h"
#include "search/SearchRunner.h"
#include "search/TypeTable.h"

namespace qv {
namespace {

// Ends the client's call on a silent server, for as long as the client lives.
std::function<void()> abortOf(const std::shared_ptr<SmbClient>& client)
{
    std::weak_ptr<SmbClient> weak = client;
    return [weak] {
        if (auto c = weak.lock())
            c->abort();
    };
}

// A helper of its own for each worker of a parallel walk: a new SMB client with the
// services' accounts and directory, its enumerator and its file system.
ComputerPool::HelperMaker helperMaker(const SearchServices& services)
{
    if (!services.newSmbClient || !services.directory)
        return {};
    auto newClient = services.newSmbClient;
    std::shared_ptr<NetworkDirectory> directory = services.directory;
    return [newClient, directory] {
        std::shared_ptr<SmbClient> client = newClient();
        ComputerPool::Helper helper;
        helper.keepAlive = client;
        helper.enumerator = std::make_unique<SmbNetworkEnumerator>(*client, directory);
        helper.shareFiles = std::make_shared<SmbFileSystem>(client);
        helper.abort = abortOf(client);
        return helper;
    };
}

// Whether the search walks the folder trees of one computer's shares, one share after
// the other, on the search's own helper: a folder or share place, or a computer's.
bool walksSharesOfOneComputer(const SearchCriteria& criteria, const SearchTarget& target)
{
    if (target.local || !criteria.subFolders)
        return false;
    if (target.level >= LevelFolder)
        return SearchRunner::walkFor(target.level, criteria.walkDepth) == SearchRunner::Walk::Folder;
    return (target.level == LevelShare || target.level == LevelComputer) && criteria.walkDepth >= DepthFolders;
}

// Helpers that list the folders of a share ahead of its walk: as many as the jobs the
// services allow besides the walk's own helper. A walk over several computers leaves
// them out: its computers already keep that many helpers busy.
std::shared_ptr<PrefetchingFileSystem> prefetchFor(const SearchCriteria& criteria, const SearchTarget& target,
                                                   const SearchServices& services)
{
    if (!walksSharesOfOneComputer(criteria, target) || services.jobs < 2 || !services.newSmbClient
        || !services.networkFiles)
        return nullptr;
    auto newClient = services.newSmbClient;
    auto makeLister = [newClient] {
        std::shared_ptr<SmbClient> client = newClient();
        PrefetchingFileSystem::Lister lister;
        lister.files = std::make_shared<SmbFileSystem>(client);
        lister.abort = abortOf(client);
        return lister;
    };
    return std::make_shared<PrefetchingFileSystem>(services.networkFiles, makeLister, services.jobs - 1);
}

} // namespace

std::unique_ptr<SearchJob> SearchJobBuilder::build(const SearchCriteria& criteria, const SearchPlace& place,
                                                   const std::shared_ptr<SearchServices>& services, SearchSink& sink)
{
    SearchJob::Services s;
    s.localFiles = services->localFiles;
    s.networkFiles = services->networkFiles;
    s.fileTypes = services->fileTypes;
    const SearchTarget target = SearchTarget::of(place);
    std::shared_ptr<PrefetchingFileSystem> prefetch = prefetchFor(criteria, target, *services);
    if (prefetch)
        s.networkFiles = prefetch;
    if (services->enumerator && services->networkFiles) {
        // The walk refers to the services; the job holds them as long as it lives.
        // A share or computer place walks its shares with the listings made ahead.
        std::shared_ptr<NetworkEnumerator> enumerator = services->enumerator;
        std::shared_ptr<FileSystem> files = prefetch ? std::shared_ptr<FileSystem>(prefetch) : services->networkFiles;
        std::shared_ptr<FileTypeInfo> types = services->fileTypes;
        const int jobs = services->jobs;
        ComputerPool::HelperMaker makeHelper = helperMaker(*services);
        std::shared_ptr<const ComputerListCache> lastComputers = services->lastComputers;
        s.makeNetworkWalk = [enumerator, files, types, jobs, makeHelper, lastComputers](SearchSink& walkSink,
                                                                                        StopRequest& stop) {
            return std::unique_ptr<NetworkSearch>(std::make_unique<NetworkWalk>(NetworkWalk::Services{
                *enumerator, *files, *types, walkSink, stop, jobs, makeHelper, lastComputers}));
        };
    }
    if (services->smb) {
        // A helper killed by the last Stop is started afresh by this search.
        services->smb->reset();
        std::weak_ptr<SmbClient> smb = services->smb;
        std::weak_ptr<PrefetchingFileSystem> ahead = prefetch;
        s.abort = [smb, ahead] {
            if (auto client = smb.lock())
                client->abort();
            if (auto listers = ahead.lock())
                listers->abort();
        };
    }
    return std::make_unique<SearchJob>(criteria, target, std::move(s), sink);
}

} // namespace qv
