// Merging what the sources say about each computer, and the discovery round's thread.
#include "network/NetworkDirectory.h"

#include "platform/SmbClient.h"
#include "platform/SmbUrl.h"
#include "resources/StringTable.h"
#include "platform/CaseFold.h"

#include <algorithm>

namespace qv {
namespace {

unsigned bitOf(DiscoverySource source) { return 1u << static_cast<unsigned>(source); }

// A name the program can show and hand on as "\\NAME": no backslash, slash or
// control character, not empty.
bool usableName(const std::string& name)
{
    if (name.empty() || name.size() > 255)
        return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '\\' || c == '/')
            return false;
    }
    return true;
}

bool lessByKey(const std::string& a, const std::string& b)
{
    const std::string ka = NetworkDirectory::keyOf(a);
    const std::string kb = NetworkDirectory::keyOf(b);
    return ka != kb ? ka < kb : a < b;
}

} // namespace

NetworkDirectory::NetworkDirectory(Discoverer discoverer) : m_discoverer(std::move(discoverer)) {}

NetworkDirectory::~NetworkDirectory()
{
    m_cancel.store(true, std::memory_order_release);
    joinRound();
}

std::string NetworkDirectory::keyOf(const std::string& name) { return CaseFold::toUpper(name); }

std::string NetworkDirectory::typedGroupName() { return std::string(loadString(IDS_TYPED_COMPUTERS)); }

void NetworkDirectory::joinRound()
{
    std::lock_guard threadLock(m_roundThreadMutex);
    if (m_round.joinable())
        m_round.join();
}

void NetworkDirectory::startDiscovery()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_discoverer || m_roundRunning || m_roundDone)
            return;
    }
    rediscover();
}

void NetworkDirectory::rediscover()
{
    if (!m_discoverer)
        return;
    std::lock_guard threadLock(m_roundThreadMutex);
    {
        std::lock_guard lock(m_mutex);
        if (m_roundRunning)
            return;
        m_roundRunning = true;
    }
    if (m_round.joinable())
        m_round.join(); // the last round's thread has ended or is about to
    m_round = std::thread([this] { runRound(); });
}

void NetworkDirectory::runRound()
{
    m_discoverer([this](const DiscoveredHost& host) { add(host); }, m_cancel);
    {
        std::lock_guard lock(m_mutex);
        m_roundRunning = false;
        m_roundDone = true;
    }
    m_roundEnded.notify_all();
    notify();
}

void NetworkDirectory::waitForDiscovery(const std::function<bool()>& stopped)
{
    std::unique_lock lock(m_mutex);
    while (m_roundRunning) {
        if (!stopped) {
            m_roundEnded.wait(lock);
            continue;
        }
        m_roundEnded.wait_for(lock, std::chrono::milliseconds(50));
        if (m_roundRunning) {
            lock.unlock();
            const bool stop = stopped();
            lock.lock();
            if (stop)
                return;
        }
    }
}

bool NetworkDirectory::discoveryDone() const
{
    std::lock_guard lock(m_mutex);
    return m_roundDone;
}

void NetworkDirectory::add(const DiscoveredHost& host)
{
    if (!usableName(host.name))
        return;
    bool changed = false;
    std::string address;
    {
        std::lock_guard lock(m_mutex);
        const auto before = m_records.find(keyOf(host.name));
        const std::string oldAddress = before != m_records.end() ? before->second.computer.address : std::string();
        changed = merge(host);
        address = m_records[keyOf(host.name)].computer.address;
        if (address == oldAddress)
            address.clear();
    }
    if (!address.empty())
        pushAddress(host.name, address);
    if (changed)
        notify();
}

bool NetworkDirectory::merge(const DiscoveredHost& host)
{
    const std::string key = keyOf(host.name);
    auto [it, inserted] = m_records.try_emplace(key);
    Record& record = it->second;
    Computer& computer = record.computer;
    const Computer before = computer;
    if (inserted || host.source < record.nameSource) {
        computer.name = host.name;
        record.nameSource = host.source;
    }
    computer.sources |= bitOf(host.source);
    // A DNS-SD domain ("local") places a computer only while nothing else does.
    if (usableName(host.workgroup)) {
        const bool fallback = host.source == DiscoverySource::DnsSd;
        const bool heldIsFallback = record.workgroupSource == DiscoverySource::DnsSd;
        if (!record.workgroupSource || (!fallback && (heldIsFallback || host.source < *record.workgroupSource))) {
            computer.workgroup = host.workgroup;
            computer.isDomain = host.isDomain;
            record.workgroupSource = host.source;
        }
    }
    if (!host.address.empty() && !SmbUrl::hostForAddress(host.address).empty()
        && (!record.addressSource || host.source < *record.addressSource)) {
        computer.address = host.address;
        computer.addressSource = host.source;
        record.addressSource = host.source;
    }
    return inserted || computer.name != before.name || computer.workgroup != before.workgroup
        || computer.address != before.address || computer.sources != before.sources;
}

void NetworkDirectory::noteBrowseList(const std::string& workgroup, const std::vector<std::string>& computerNames)
{
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        for (const std::string& name : computerNames) {
            if (!usableName(name))
                continue;
            DiscoveredHost host;
            host.name = name;
            host.workgroup = workgroup;
            host.source = DiscoverySource::BrowseList;
            changed |= merge(host);
        }
    }
    if (changed)
        notify();
}

std::vector<std::string> NetworkDirectory::workgroups() const
{
    // A workgroup is spelt as its most trusted source spells it (ties: the smaller text).
    std::map<std::string, std::pair<int, std::string>> byKey;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [key, record] : m_records) {
            const bool none = record.computer.workgroup.empty();
            const std::pair<int, std::string> spelling{
                none ? 99 : static_cast<int>(*record.workgroupSource),
                none ? std::string(kDefaultWorkgroup) : record.computer.workgroup};
            auto [it, inserted] = byKey.try_emplace(keyOf(spelling.second), spelling);
            if (!inserted && spelling < it->second)
                it->second = spelling;
        }
    }
    std::vector<std::string> out;
    for (auto& [key, spelling] : byKey)
        out.push_back(std::move(spelling.second));
    std::sort(out.begin(), out.end(), lessByKey);
    return out;
}

std::vector<NetworkDirectory::Computer> NetworkDirectory::membersOf(const std::string& workgroup) const
{
    const std::string wanted = keyOf(workgroup);
    std::vector<Computer> out;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [key, record] : m_records) {
            const std::string& wg = record.computer.workgroup.empty() ? std::string(kDefaultWorkgroup)
                                                                       : record.computer.workgroup;
            if (keyOf(wg) == wanted)
                out.push_back(record.computer);
        }
    }
    std::sort(out.begin(), out.end(), [](const Computer& a, const Computer& b) { return lessByKey(a.name, b.name); });
    return out;
}

std::optional<NetworkDirectory::Computer> NetworkDirectory::find(const std::string& name) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(keyOf(name));
    if (it == m_records.end())
        return std::nullopt;
    return it->second.computer;
}

std::vector<NetworkDirectory::Computer> NetworkDirectory::computers() const
{
    std::vector<Computer> out;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [key, record] : m_records)
            out.push_back(record.computer);
    }
    std::sort(out.begin(), out.end(), [](const Computer& a, const Computer& b) { return lessByKey(a.name, b.name); });
    return out;
}

std::vector<std::string> NetworkDirectory::typedComputers() const
{
    std::lock_guard lock(m_mutex);
    return m_typed;
}

bool NetworkDirectory::addTypedComputer(const std::string& networkName)
{
    const auto place = SmbUrl::fromNetworkName(networkName);
    if (!place || place->level() != SmbUrl::Level::Computer || !usableName(place->server()))
        return false;
    const std::string name = place->networkName();
    {
        std::lock_guard lock(m_mutex);
        for (const std::string& typed : m_typed)
            if (keyOf(typed) == keyOf(name))
                return false;
        m_typed.push_back(name);
    }
    notify();
    return true;
}

bool NetworkDirectory::removeTypedComputer(const std::string& networkName)
{
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::find_if(m_typed.begin(), m_typed.end(),
                                     [&](const std::string& typed) { return keyOf(typed) == keyOf(networkName); });
        if (it == m_typed.end())
            return false;
        m_typed.erase(it);
    }
    notify();
    return true;
}

std::string NetworkDirectory::resolve(const std::string& name)
{
    if (const auto known = find(name); known && !known->address.empty())
        return known->address;
    if (!m_discoverer)
        return {};
    startDiscovery();
    waitForDiscovery();
    const auto found = find(name);
    return found ? found->address : std::string();
}

void NetworkDirectory::attach(const std::shared_ptr<SmbClient>& client)
{
    if (!client)
        return;
    std::vector<std::pair<std::string, std::string>> known;
    {
        std::lock_guard lock(m_mutex);
        m_clients.push_back(client);
        for (const auto& [key, record] : m_records)
            if (!record.computer.address.empty())
                known.emplace_back(record.computer.name, record.computer.address);
    }
    for (const auto& [name, address] : known)
        client->setHostAddress(name, address);
}

void NetworkDirectory::pushAddress(const std::string& name, const std::string& address)
{
    std::vector<std::shared_ptr<SmbClient>> clients;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_clients.begin(); it != m_clients.end();) {
            if (auto client = it->lock()) {
                clients.push_back(std::move(client));
                ++it;
            } else {
                it = m_clients.erase(it);
            }
        }
    }
    for (const auto& client : clients)
        client->setHostAddress(name, address);
}

int NetworkDirectory::subscribe(std::function<void()> listener)
{
    std::lock_guard lock(m_listenerMutex);
    const int id = m_nextListener++;
    m_listeners.emplace(id, std::move(listener));
    return id;
}

void NetworkDirectory::unsubscribe(int id)
{
    std::lock_guard lock(m_listenerMutex);
    m_listeners.erase(id);
}

void NetworkDirectory::notify()
{
    std::lock_guard lock(m_listenerMutex);
    for (const auto& [id, listener] : m_listeners)
        listener();
}

} // namespace qv
