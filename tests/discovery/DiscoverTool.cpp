// qv-discover: runs one LAN discovery round and prints each computer as it is found,
//   source<TAB>name<TAB>workgroup<TAB>address
// with sources named wsd, dnssd and netbios. It sends multicast and sweep packets:
// run it only inside the test LAN (tests/lan/exec) or an empty namespace (unshare -n).
//   qv-discover [-t MS] [--only wsd,dnssd,netbios] [--elapsed] [--cancel-after MS]
// --elapsed adds a fifth column, the milliseconds from the start until the host came;
// --cancel-after cancels the round from another thread after MS milliseconds.
#include "platform/discovery/LanDiscovery.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

using namespace qv;

namespace {

enum ExitCode { kOk = 0, kUsage = 2 };

const char* sourceName(DiscoverySource source)
{
    switch (source) {
    case DiscoverySource::WsDiscovery: return "wsd";
    case DiscoverySource::DnsSd: return "dnssd";
    case DiscoverySource::NetbiosSweep: return "netbios";
    default: return "other";
    }
}

int usage(const char* message)
{
    std::fprintf(stderr, "qv-discover: %s\nusage: qv-discover [-t MS] [--only wsd,dnssd,netbios] [--elapsed] "
                         "[--cancel-after MS]\n", message);
    return kUsage;
}

bool number(const char* text, int& out)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < 0 || value > 600000)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool selectSources(std::string list, DiscoveryOptions& options)
{
    options.wsDiscovery = options.dnsSd = options.netbiosSweep = false;
    list += ',';
    for (std::size_t start = 0, comma; (comma = list.find(',', start)) != std::string::npos; start = comma + 1) {
        const std::string name = list.substr(start, comma - start);
        if (name == "wsd")
            options.wsDiscovery = true;
        else if (name == "dnssd")
            options.dnsSd = true;
        else if (name == "netbios")
            options.netbiosSweep = true;
        else
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    DiscoveryOptions options;
    bool elapsed = false;
    int cancelAfter = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if ((arg == "-t" || arg == "--timeout") && hasValue) {
            if (!number(argv[++i], options.timeoutMs))
                return usage("the timeout is a number of milliseconds");
        } else if (arg == "--only" && hasValue) {
            if (!selectSources(argv[++i], options))
                return usage("sources are wsd, dnssd and netbios, separated by commas");
        } else if (arg == "--elapsed") {
            elapsed = true;
        } else if (arg == "--cancel-after" && hasValue) {
            if (!number(argv[++i], cancelAfter))
                return usage("--cancel-after takes a number of milliseconds");
        } else {
            return usage(("unknown argument: " + arg).c_str());
        }
    }

    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread canceller;
    if (cancelAfter >= 0) {
        canceller = std::thread([&] {
            std::unique_lock lock(mutex);
            if (!finished.wait_for(lock, std::chrono::milliseconds(cancelAfter), [&] { return done; }))
                cancel = true;
        });
    }
    const auto start = std::chrono::steady_clock::now();
    LanDiscovery::run(options, [&](const DiscoveredHost& host) {
        std::printf("%s\t%s\t%s\t%s", sourceName(host.source), host.name.c_str(), host.workgroup.c_str(),
                    host.address.c_str());
        if (elapsed) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            std::printf("\t%lld", static_cast<long long>(ms.count()));
        }
        std::printf("\n");
        std::fflush(stdout);
    }, &cancel);
    if (canceller.joinable()) {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        finished.notify_all();
        canceller.join();
    }
    return kOk;
}
