// The computers of the LAN as every source knows them: the NetBIOS browse lists, the
// discovery rounds (WS-Discovery, DNS-SD, the NetBIOS sweep) and the computers the
// user named, merged into one record per computer name.
#pragma once

#include "platform/discovery/DiscoveredHost.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qv {

class SmbClient;

class NetworkDirectory final {
public:
    // One computer, merged: each field comes from the most trusted source that tells
    // it (the lower DiscoverySource wins; DNS-SD's domain only when nothing else
    // names a workgroup).
    struct Computer {
        std::string name;      // without backslashes
        std::string workgroup; // empty when no source tells one
        bool isDomain = false;
        std::string address;   // empty when no source gave one
        DiscoverySource addressSource = DiscoverySource::BrowseList; // who gave the address
        unsigned sources = 0;  // bit (1 << DiscoverySource) per source that named it
    };

    // Runs one bounded discovery round on the calling thread, calling `found` for
    // each host as it arrives, and returns when the round is over or `cancel` is set.
    using Discoverer =
        std::function<void(const std::function<void(const DiscoveredHost&)>& found, const std::atomic<bool>& cancel)>;

    // Without a discoverer only the browse lists and named computers are known.
    explicit NetworkDirectory(Discoverer discoverer = {});
    // Cancels a round in progress and waits for it.
    ~NetworkDirectory();
    NetworkDirectory(const NetworkDirectory&) = delete;
    NetworkDirectory& operator=(const NetworkDirectory&) = delete;

    // Starts a round on a thread of the directory's own unless one runs or has run.
    void startDiscovery();
    // Starts another round even though one has run (the user looks again).
    void rediscover();
    // Waits until the round in progress has ended (a round ends by its own bound);
    // returns at once when none runs. `stopped`, when given, is asked every 50 ms and
    // ends the wait early when it says true.
    void waitForDiscovery(const std::function<bool()>& stopped = {});
    // A round has run to its end in this object's life.
    bool discoveryDone() const;
    bool hasDiscoverer() const { return static_cast<bool>(m_discoverer); }

    // Thread-safe; a host with an empty or unusable name is ignored.
    void add(const DiscoveredHost& host);
    // What a browse list said: its computers belong to that workgroup.
    void noteBrowseList(const std::string& workgroup, const std::vector<std::string>& computerNames);

    // Where computers go that no source places in a workgroup: the workgroup a
    // Windows computer has until someone changes it.
    static constexpr const char* kDefaultWorkgroup = "WORKGROUP";

    // The workgroups that some source names, by name without regard to case.
    std::vector<std::string> workgroups() const;
    // The computers of one workgroup (compared without regard to case), by name.
    std::vector<Computer> membersOf(const std::string& workgroup) const;
    std::optional<Computer> find(const std::string& name) const;
    // Every computer any source named, by name.
    std::vector<Computer> computers() const;

    // The computers the user named, in the order they were added ("\\NAME" forms).
    std::vector<std::string> typedComputers() const;
    // "\\NAME", "\\192.0.2.5" or "\\[fe80::1]"; false for anything else or a name
    // already in the list.
    bool addTypedComputer(const std::string& networkName);
    bool removeTypedComputer(const std::string& networkName);
    // The top-level item's name that stands for the typed computers.
    static std::string typedGroupName();

    // The address to reach NAME at: known at once, or after the round that runs
    // (started when none has run). Empty when no source knows one.
    std::string resolve(const std::string& name);

    // Every address learnt is handed to the attached clients (held weakly), and the
    // ones known now at once.
    void attach(const std::shared_ptr<SmbClient>& client);

    // Called, on the thread that changed the directory and outside its lock, after
    // hosts were added or a round ended. Returns an id for unsubscribe().
    int subscribe(std::function<void()> listener);
    void unsubscribe(int id);

    // Names compare like this: ASCII letters and other letters without regard to case.
    static std::string keyOf(const std::string& name);

private:
    struct Record {
        Computer computer;
        DiscoverySource nameSource = DiscoverySource::DnsSd;
        std::optional<DiscoverySource> workgroupSource;
        std::optional<DiscoverySource> addressSource;
    };

    void runRound();
    // Merges one host; true when the record changed. m_mutex held.
    bool merge(const DiscoveredHost& host);
    void notify();
    void pushAddress(const std::string& name, const std::string& address);
    void joinRound();

    const Discoverer m_discoverer;
    mutable std::mutex m_mutex;
    std::condition_variable m_roundEnded;
    std::map<std::string, Record> m_records; // by keyOf(name)
    std::vector<std::string> m_typed;
    std::vector<std::weak_ptr<SmbClient>> m_clients;
    std::mutex m_listenerMutex; // held while listeners run, so unsubscribe() waits for them
    std::map<int, std::function<void()>> m_listeners;
    int m_nextListener = 1;
    bool m_roundRunning = false;
    bool m_roundDone = false;
    std::thread m_round;
    std::atomic<bool> m_cancel{false};
    std::mutex m_roundThreadMutex; // start and join of m_round
};

} // namespace qv
