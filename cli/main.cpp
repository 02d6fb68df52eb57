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
#include "resources/Version.h"
#include "results/HtmlReport.h"
#include "search/CriteriaReader.h"
#include "search/DocumentCounts.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

int usageError(std::string message)
{
    // A value quoted in the message may hold a line end; the message stays one line.
    for (char& c : message)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::fprintf(stderr, "qvsearch: %s\n", message.c_str());
    return ExitUsage;
}

int reportError(const std::string& message)
{
    std::fprintf(stderr, "qvsearch: %s\n", message.c_str());
    return ExitReportFailed;
}

// A standard descriptor the program was started without is taken by /dev/null opened
// for reading: writes to it then fail (a closed standard output is a write error), and
// no file opened later (the report) takes its number and gets the rows.
void occupyClosedStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = open("/dev/null", O_RDONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    occupyClosedStandardDescriptors();
    const std::vector<std::string> args(argv + 1, argv + argc);
    QvSearchOptions options;
    std::string error;
    if (!QvSearchOptions::parse(args, options, error))
        return usageError(error);
    if (options.help) {
        std::fputs(QvSearchOptions::usage(), stdout);
        if (std::fflush(stdout) != 0 && errno != EPIPE) {
            std::fprintf(stderr, "qvsearch: cannot write the help to standard output: %s\n", std::strerror(errno));
            return ExitOutputFailed;
        }
        return ExitCompleted;
    }
    if (options.version) {
        std::printf("qvsearch %s\n", kVersion);
        return ExitCompleted;
    }
    const SearchPlace place = options.searchPlace();

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
    RowPrinter printer(stdout, stderr, options.format, isatty(STDERR_FILENO), options.verbose);
    // Rows are kept only for a report: a plain search prints them and lets them go.
    std::optional<RowCollector> collector;
    if (report)
        collector.emplace(printer);
    SearchSink& sink = collector ? static_cast<SearchSink&>(*collector) : printer;
    const std::unique_ptr<SearchJob> job = SearchJobBuilder::build(criteria, place, services, sink);
    // Rows that cannot be written make searching on pointless.
    printer.setOnWriteFailure([&job] { job->stop().request(); });
    InterruptWatcher interrupts(job->stop());
    const SearchJob::Outcome outcome = job->run();
    using Outcome = SearchJob::Outcome;
    printer.finish(outcome == Outcome::Completed || outcome == Outcome::Stopped);
    printDocumentsGivenUp(job->state().documentsGivenUp);
    if (outcome == Outcome::Failed)
        std::fprintf(stderr, "qvsearch: the search ended on an error: %s\n", job->errorText().c_str());
    LanNetwork::remember(*services->directory);
    bool reportFailed = false;
    if (report) {
        reportFailed = !HtmlReport::write(criteria, job->state().foundCount.load(), collector->rows(), *report) ||
                       !report->commit();
        if (reportFailed)
            reportError(report->errorMessage());
    }
    // Where more than one holds, the first of these is the status.
    if (const int writeError = printer.writeError())
        return writeError == EPIPE ? ExitStopped : ExitOutputFailed;
    if (outcome == Outcome::Failed)
        return ExitSearchFailed;
    if (reportFailed)
        return ExitReportFailed;
    if (outcome == Outcome::PlaceFailed || printer.placeNotSearched())
        return ExitPlaceFailed;
    return outcome == Outcome::Completed ? ExitCompleted : ExitStopped;
}
