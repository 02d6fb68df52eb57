#include "network/SearchJobBuilder.h"

#include "network/NetworkWalk.h"
#include "network/SearchServices.h"
#include "platform/SmbClient.h"

namespace qv {

std::unique_ptr<SearchJob> SearchJobBuilder::build(const SearchCriteria& criteria, const SearchPlace& place,
                                                   const std::shared_ptr<SearchServices>& services, SearchSink& sink)
{
    SearchJob::Services s;
    s.localFiles = services->localFiles;
    s.networkFiles = services->networkFiles;
    s.fileTypes = services->fileTypes;
    if (services->enumerator && services->networkFiles) {
        // The walk refers to the services; the job holds them as long as it lives.
        std::shared_ptr<NetworkEnumerator> enumerator = services->enumerator;
        std::shared_ptr<FileSystem> files = services->networkFiles;
        std::shared_ptr<FileTypeInfo> types = services->fileTypes;
        s.makeNetworkWalk = [enumerator, files, types](SearchSink& walkSink, StopRequest& stop) {
            return std::unique_ptr<NetworkSearch>(
                std::make_unique<NetworkWalk>(NetworkWalk::Services{*enumerator, *files, *types, walkSink, stop}));
        };
    }
    if (services->smb) {
        // A helper killed by the last Stop is started afresh by this search.
        services->smb->reset();
        std::weak_ptr<SmbClient> smb = services->smb;
        s.abort = [smb] {
            if (auto client = smb.lock())
                client->abort();
        };
    }
    return std::make_unique<SearchJob>(criteria, SearchTarget::of(place), std::move(s), sink);
}

} // namespace qv
