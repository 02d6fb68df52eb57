// qv-smb-walk: lists a share or folder and everything below it through SmbClient,
// one listing request per folder, and prints what it found and how long it took:
//   qv-smb-walk '\\QVFILER3\bench' [-p] [-r] [-j N]
// -p prints every path; -r also reads every file; -j walks with N helpers at once (one
// SmbClient per thread, folders handed out from one queue). For comparing with other
// clients. Above the shares ("", "WG", "\\HOST") it prints the one level's entries.
#include "platform/SmbClient.h"
#include "platform/SmbUrl.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace qv;

namespace {

struct Totals {
    std::atomic<long> folders{0};
    std::atomic<long> files{0};
    std::atomic<long> failures{0};
    std::atomic<long long> bytes{0};
    std::atomic<long long> readBytes{0};
};

// Folders still to list; the walk ends when the queue is empty and nobody is listing.
class FolderQueue final {
public:
    void push(SmbUrl url)
    {
        {
            std::lock_guard lock(m_mutex);
            m_pending.push_back(std::move(url));
        }
        m_wake.notify_one();
    }
    bool pop(SmbUrl& url)
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [&] { return !m_pending.empty() || m_busy == 0; });
        if (m_pending.empty())
            return false;
        url = std::move(m_pending.back());
        m_pending.pop_back();
        ++m_busy;
        return true;
    }
    void done()
    {
        std::lock_guard lock(m_mutex);
        if (--m_busy == 0)
            m_wake.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<SmbUrl> m_pending;
    int m_busy = 0;
};

std::mutex g_printMutex;

void walk(FolderQueue& queue, Totals& totals, bool print, bool read)
{
    SmbClient client;
    std::vector<char> buffer(1 << 16);
    SmbUrl here;
    while (queue.pop(here)) {
        std::vector<FileEntry> entries;
        if (const int rc = client.listFolder(here.url(), entries)) {
            std::lock_guard lock(g_printMutex);
            std::fprintf(stderr, "%s: %s\n", here.networkName().c_str(), std::strerror(rc));
            ++totals.failures;
            queue.done();
            continue;
        }
        ++totals.folders;
        for (const auto& e : entries) {
            const SmbUrl child = here.child(e.name);
            if (print) {
                std::lock_guard lock(g_printMutex);
                std::printf("%s%s\t%lld\n", child.networkName().c_str(), e.isFolder ? "\\" : "",
                            static_cast<long long>(e.size));
            }
            if (e.isFolder) {
                queue.push(child);
                continue;
            }
            ++totals.files;
            totals.bytes += e.size;
            if (!read)
                continue;
            int handle = -1;
            if (client.openFile(child.url(), handle) != 0) {
                ++totals.failures;
                continue;
            }
            std::int64_t n = 0;
            while ((n = client.read(handle, buffer.data(), buffer.size())) > 0)
                totals.readBytes += n;
            if (n < 0)
                ++totals.failures;
            client.closeFile(handle);
        }
        queue.done();
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string place;
    bool print = false;
    bool read = false;
    int helpers = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-p") == 0)
            print = true;
        else if (std::strcmp(argv[i], "-r") == 0)
            read = true;
        else if (std::strcmp(argv[i], "-j") == 0 && i + 1 < argc)
            helpers = std::max(1, std::atoi(argv[++i]));
        else
            place = argv[i];
    }
    const auto root = SmbUrl::fromNetworkName(place);
    if (!root) {
        std::fprintf(stderr, "usage: qv-smb-walk '\\\\HOST\\share[\\folder]' [-p] [-r] [-j N]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    if (root->level() != SmbUrl::Level::Share && root->level() != SmbUrl::Level::Folder) {
        static const char* const kKinds[] = {"workgroup", "server", "file-share", "printer-share", "other"};
        SmbClient client;
        std::vector<SmbNetEntry> entries;
        const int rc = client.listNetwork(*root, entries);
        for (const auto& e : entries)
            std::printf("%s\t%s\n", kKinds[static_cast<int>(e.kind)], e.name.c_str());
        std::fprintf(stderr, "%s: %s, %.3f s\n", root->url().c_str(), rc ? std::strerror(rc) : "listed", elapsed());
        return rc == 0 ? 0 : 1;
    }
    FolderQueue queue;
    Totals totals;
    queue.push(*root);
    std::vector<std::thread> threads;
    for (int i = 0; i < helpers; ++i)
        threads.emplace_back(walk, std::ref(queue), std::ref(totals), print, read);
    for (auto& t : threads)
        t.join();
    std::fprintf(stderr, "folders %ld, files %ld, bytes %lld, read %lld, failures %ld, helpers %d, %.3f s\n",
                 totals.folders.load(), totals.files.load(), totals.bytes.load(), totals.readBytes.load(),
                 totals.failures.load(), helpers, elapsed());
    return totals.failures == 0 ? 0 : 1;
}
