#include "search/SearchJob.h"

#include "search/SearchRunner.h"

#include <exception>

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
        const bool completed = runner.run(m_criteria, m_target, m_state);
        if (m_state.placeFailed.load())
            return Outcome::PlaceFailed;
        return completed ? Outcome::Completed : Outcome::Stopped;
    } catch (const std::exception& error) {
        // Memory running out, say: the walk ends here, and whoever runs the job tells
        // the user what ended it. Anything that is no exception of the library goes on
        // to the thread's own end, which reports it.
        m_errorText = error.what();
        return Outcome::Failed;
    }
}

} // namespace qv
