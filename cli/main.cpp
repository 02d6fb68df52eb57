// qvsearch: one search with the engine, from the command line.
#include "cli/ExitCode.h"
#include "cli/QvSearchOptions.h"
#include "cli/RowCollector.h"
#include "cli/RowPrinter.h"
#include "network/ComputerPool.h"
#include "network/LanNetwork.h"
#include "network/SearchJobBuilder.h"
#include "network/SearchServices.h"
#include "platform/ReportFile.h"
#include "platform/SmbClient.h"
#include "results/HtmlReport.h"
#include "search/CriteriaReader.h"
#include "search/DocumentCounts.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <limits>
#include <optional>
#include <pthread.h>
#include <thread>
#include <unistd.h>

using namespace qv;

namespace {

// Ctrl-C asks the search to stop, as the Stop button does. The signal is taken
// by a thread of its own, so that the request is made outside a signal handler.
class InterruptWatcher final {
public:
    explicit InterruptWatcher(StopRequest& stop)
    {
        sigemptyset(&m_signals);
        sigaddset(&m_signals, SIGINT);
        sigaddset(&m_signals, SIGTERM);
        sigaddset(&m_signals, SIGUSR1); // wakes the watcher at the end
        pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
        m_thread = std::thread([this, &stop] {
            int signal = 0;
            while (sigwait(&m_signals, &signal) == 0 && signal != SIGUSR1)
                stop.request();
        });
    }
    ~InterruptWatcher()
    {
        pthread_kill(m_thread.native_handle(), SIGUSR1);
        m_thread.join();
    }
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

private:
    sigset_t m_signals;
    std::thread m_thread;
};

// After the count: the documents whose text was not searched, if any were.
void printDocumentsGivenUp(const DocumentCounts& counts)
{
    if (counts.total() == 0)
        return;
    std::fprintf(stderr, "qvsearch: %lld documents not searched: %lld over a limit, %lld encrypted, %lld damaged\n",
                 static_cast<long long>(counts.total()), static_cast<long long>(counts.overLimit.load()),
                 static_cast<long long>(counts.encrypted.load()), static_cast<long long>(counts.damaged.load()));
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "qvsearch: %s\n", message.c_str());
    return ExitUsage;
}

int reportError(const std::string& message)
{
    std::fprintf(stderr, "qvsearch: %s\n", message.c_str());
    return ExitReportFailed;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    QvSearchOptions options;
    std::string error;
    if (!QvSearchOptions::parse(args, options, error))
        return usageError(error);
    if (options.help) {
        std::fputs(QvSearchOptions::usage(), stdout);
        return ExitCompleted;
    }
    const SearchPlace place = SearchPlace::fromText(options.place);

    SearchCriteria criteria;
    // Bounds the command line leaves open take in every time.
    criteria.startTime = 0;
    criteria.endTime = std::numeric_limits<std::int64_t>::max();
    SearchHistories histories;
    CriteriaReader::read(options.form, place, criteria, histories);

    // A report that cannot be written is known before the search, not after it.
    std::optional<ReportFile> report;
    if (!options.reportFile.empty()) {
        report.emplace(options.reportFile);
        if (!report->open())
            return reportError(report->errorMessage());
    }

    // One SMB helper serves the whole search; Stop kills it, so that no call to a
    // silent server can hold the search. Computers the browse lists do not name come
    // from discovery (a round of about 3 s, started by the first list that needs it)
    // and from the cache of earlier runs.
    SmbCredentials credentials;
    credentials.user = options.login.user;
    credentials.password = options.login.password;
    credentials.domain = options.login.domain;
    credentials.kerberos = options.login.user.empty() ? LoginOptions::hasKerberosTicket() : false;
    const std::shared_ptr<SearchServices> services = SearchServices::forCommandLine(credentials);
    services->jobs = std::min(options.jobs, ComputerPool::kMostWorkers);
    if (options.jobs > ComputerPool::kMostWorkers)
        std::fprintf(stderr, "qvsearch: --jobs %d is more than %d helpers; searching %d computers at once\n",
                     options.jobs, ComputerPool::kMostWorkers, ComputerPool::kMostWorkers);

    std::setvbuf(stdout, nullptr, isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, 1 << 16);
    RowPrinter printer(stdout, stderr, options.format, isatty(STDERR_FILENO));
    // Rows are kept only for a report: a plain search prints them and lets them go.
    std::optional<RowCollector> collector;
    if (report)
        collector.emplace(printer);
    SearchSink& sink = collector ? static_cast<SearchSink&>(*collector) : printer;
    const std::unique_ptr<SearchJob> job = SearchJobBuilder::build(criteria, place, services, sink);
    InterruptWatcher interrupts(job->stop());
    const bool completed = job->run() == SearchJob::Outcome::Completed;
    printer.finish();
    printDocumentsGivenUp(job->state().documentsGivenUp);
    LanNetwork::remember(*services->directory);
    if (report) {
        if (!HtmlReport::write(criteria, job->state().foundCount.load(), collector->rows(), *report) ||
            !report->commit())
            return reportError(report->errorMessage());
    }
    return completed ? ExitCompleted : ExitStopped;
}
