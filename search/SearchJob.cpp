#include "search/SearchJob.h"

#include "search/SearchRunner.h"

namespace qv {

SearchJob::SearchJob(SearchCriteria criteria, SearchTarget target, Services services, SearchSink& sink)
    : m_criteria(std::move(criteria)), m_target(std::move(target)), m_services(std::move(services)), m_sink(sink)
{
    if (m_services.abort)
        m_stop.setOnRequest(m_services.abort);
}

SearchJob::Outcome SearchJob::run()
{
    try {
        std::unique_ptr<NetworkSearch> network;
        if (m_services.makeNetworkWalk)
            network = m_services.makeNetworkWalk(m_sink, m_stop);
        SearchRunner runner({*m_services.localFiles, m_services.networkFiles.get(), network.get(),
                             *m_services.fileTypes, m_sink, m_stop});
        // The runner shows the count text itself; an error escaping the walk skips it.
        return runner.run(m_criteria, m_target, m_state) ? Outcome::Completed : Outcome::Stopped;
    } catch (...) {
        // Nothing is shown for an error inside a search: the walk just ends.
        return Outcome::Failed;
    }
}

} // namespace qv
