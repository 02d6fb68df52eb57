#include "network/SmbNetworkEnumerator.h"

#include "network/NetworkDirectory.h"
#include "platform/SmbClient.h"
#include "platform/SmbUrl.h"

#include <cerrno>
#include <utility>

namespace qv {
namespace {

// Hidden shares ("ADMIN$", "C$") and the inter-process and communication shares
// are not listed, as a user browsing the network does not see them.
bool isListedShare(const SmbNetEntry& entry)
{
    if (entry.kind != SmbNetEntry::Kind::FileShare && entry.kind != SmbNetEntry::Kind::PrinterShare)
        return false;
    return !entry.name.empty() && entry.name.back() != '$';
}

bool holds(const std::vector<NetResource>& entries, const std::string& name)
{
    const std::string key = NetworkDirectory::keyOf(name);
    for (const NetResource& entry : entries)
        if (NetworkDirectory::keyOf(entry.remoteName) == key)
            return true;
    return false;
}

} // namespace

SmbNetworkEnumerator::SmbNetworkEnumerator(SmbClient& client) : m_client(client) {}

SmbNetworkEnumerator::SmbNetworkEnumerator(SmbClient& client, std::shared_ptr<NetworkDirectory> directory,
                                           Discovered discovered)
    : m_client(client), m_directory(std::move(directory)), m_discovered(discovered)
{
    // Stop aborts the search's client, which then ends a wait for the round too.
    m_stopped = [this] { return m_client.isAborted(); };
}

bool SmbNetworkEnumerator::listRoot(std::vector<NetResource>& children, bool& extrasPending)
{
    if (m_directory)
        m_directory->startDiscovery();
    std::vector<SmbNetEntry> listed;
    const int rc = m_client.listNetwork(SmbUrl().url(), listed);
    for (const SmbNetEntry& entry : listed)
        if (entry.kind == SmbNetEntry::Kind::Workgroup)
            children.push_back({entry.name, true, false});
    if (rc != 0)
        noteError(rc);
    if (!m_directory)
        return rc == 0;
    if (rc == 0) {
        std::lock_guard lock(m_browsedMutex);
        m_rootBrowsed = true;
        for (const NetResource& workgroup : children)
            m_browsedWorkgroups.insert(NetworkDirectory::keyOf(workgroup.remoteName));
    }
    // Browse lists need SMB1, which today's LANs often lack: the workgroups that
    // discovery finds still make a network.
    extrasPending = true;
    if (rc == 0)
        return true;
    Open open;
    open.entries = children;
    open.extrasPending = true;
    children = extrasFor(open);
    extrasPending = false;
    return !children.empty();
}

bool SmbNetworkEnumerator::listWorkgroup(const std::string& name, std::vector<NetResource>& children,
                                         bool& extrasPending)
{
    if (m_directory && NetworkDirectory::keyOf(name) == NetworkDirectory::keyOf(NetworkDirectory::typedGroupName())) {
        for (const std::string& typed : m_directory->typedComputers())
            children.push_back({typed, true, false});
        return true;
    }
    if (m_directory)
        m_directory->startDiscovery();
    std::vector<SmbNetEntry> listed;
    const auto place = SmbUrl::fromNetworkName(name);
    bool browsable = true;
    if (m_directory) {
        std::lock_guard lock(m_browsedMutex);
        browsable = !m_rootBrowsed || m_browsedWorkgroups.count(NetworkDirectory::keyOf(name)) > 0;
    }
    const int rc = browsable ? m_client.listNetwork(*place, listed) : ENOENT;
    std::vector<std::string> names;
    for (const SmbNetEntry& entry : listed)
        if (entry.kind == SmbNetEntry::Kind::Server) {
            children.push_back({"\\\\" + entry.name, true, false});
            names.push_back(entry.name);
        }
    if (rc != 0)
        noteError(rc);
    if (!m_directory)
        return rc == 0;
    if (rc == 0)
        m_directory->noteBrowseList(name, names);
    Open open;
    open.entries = children;
    open.workgroupExtras = true;
    open.workgroup = name;
    if (rc == 0) {
        extrasPending = true;
        return true;
    }
    // No browse list (no master browser, or no SMB1): the workgroup is what discovery
    // found of it.
    children = extrasFor(open);
    extrasPending = false;
    return !children.empty();
}

std::vector<NetResource> SmbNetworkEnumerator::extrasFor(const Open& open)
{
    std::vector<NetResource> extras;
    if (!m_directory)
        return extras;
    if (m_discovered == Discovered::AfterRound)
        m_directory->waitForDiscovery(m_stopped);
    if (open.workgroupExtras) {
        for (const NetworkDirectory::Computer& computer : m_directory->membersOf(open.workgroup)) {
            const std::string name = "\\\\" + computer.name;
            if (!holds(open.entries, name))
                extras.push_back({name, true, false});
        }
    } else {
        for (const std::string& workgroup : m_directory->workgroups())
            if (!holds(open.entries, workgroup))
                extras.push_back({workgroup, true, false});
    }
    return extras;
}

bool SmbNetworkEnumerator::listChildren(const EnumContainer& container, Open& open)
{
    std::vector<NetResource>& children = open.entries;
    children.clear();
    std::vector<SmbNetEntry> listed;
    switch (container.form) {
    case EnumContainer::Form::Root:
        children.push_back({kProviderName, true, false});
        return true;
    case EnumContainer::Form::Entry:
        return container.entry.remoteName == kProviderName && listRoot(children, open.extrasPending);
    case EnumContainer::Form::Name:
        break;
    }
    const std::optional<SmbUrl> place = SmbUrl::fromNetworkName(container.name);
    if (!place) {
        noteError(ENOENT);
        return false;
    }
    if (place->level() == SmbUrl::Level::Workgroup) {
        open.workgroupExtras = true;
        open.workgroup = container.name;
        return listWorkgroup(container.name, children, open.extrasPending);
    }
    if (place->level() == SmbUrl::Level::Computer) {
        if (const int rc = m_client.listNetwork(*place, listed)) {
            noteError(rc);
            return false;
        }
        const std::string host = "\\\\" + place->server();
        for (const SmbNetEntry& entry : listed)
            if (isListedShare(entry))
                children.push_back({host + "\\" + entry.name, false, entry.kind == SmbNetEntry::Kind::PrinterShare});
        return true;
    }
    noteError(ENOTDIR);
    return false; // shares and folders are listed through the file system
}

void SmbNetworkEnumerator::takeExtras(Open& open)
{
    if (!open.extrasPending)
        return;
    open.extrasPending = false;
    for (NetResource& extra : extrasFor(open))
        open.entries.push_back(std::move(extra));
}

bool SmbNetworkEnumerator::childrenOf(const EnumContainer& container, std::vector<NetResource>& children)
{
    Open open;
    const bool ok = listChildren(container, open);
    if (ok)
        takeExtras(open);
    children = std::move(open.entries);
    return ok;
}

bool SmbNetworkEnumerator::open(const EnumContainer& container, Handle& handle)
{
    Open open;
    if (!listChildren(container, open))
        return false;
    if (m_discovered == Discovered::KnownNow)
        takeExtras(open);
    std::lock_guard lock(m_mutex);
    handle = m_nextHandle++;
    m_open.emplace(handle, std::move(open));
    countOpened();
    return true;
}

EnumResult SmbNetworkEnumerator::nextBatch(Handle handle, std::uint32_t& requested, EnumBlock& block,
                                           std::uint32_t& blockSize)
{
    std::unique_lock lock(m_mutex);
    auto it = m_open.find(handle);
    if (it == m_open.end())
        return EnumResult::Failure;
    if (it->second.next >= it->second.entries.size() && it->second.extrasPending) {
        // The browse list's entries have been handled; what discovery adds comes as
        // a batch of its own, once the round has ended. The wait holds no lock.
        Open pending;
        pending.entries = it->second.entries;
        pending.extrasPending = true;
        pending.workgroupExtras = it->second.workgroupExtras;
        pending.workgroup = it->second.workgroup;
        if (m_allowLate) {
            // The list ends here; the walk goes on and asks for the rest later.
            it->second.extrasPending = false;
            m_late = [this, pending = std::move(pending)] { return extrasFor(pending); };
            return deliverBatch(it->second.entries, it->second.next, requested, block, blockSize);
        }
        lock.unlock();
        std::vector<NetResource> extras = extrasFor(pending);
        lock.lock();
        it = m_open.find(handle);
        if (it == m_open.end())
            return EnumResult::Failure;
        it->second.extrasPending = false;
        for (NetResource& extra : extras)
            it->second.entries.push_back(std::move(extra));
    }
    return deliverBatch(it->second.entries, it->second.next, requested, block, blockSize);
}

void SmbNetworkEnumerator::allowLateEntries(bool allowed)
{
    std::lock_guard lock(m_mutex);
    m_allowLate = allowed;
    if (!allowed)
        m_late = {};
}

NetworkEnumerator::LateEntries SmbNetworkEnumerator::takeLateEntries()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_late, {});
}

std::string SmbNetworkEnumerator::errorDetail(int error) const
{
    return error == ENOPKG ? m_client.helperFault() : std::string();
}

void SmbNetworkEnumerator::close(Handle handle)
{
    std::lock_guard lock(m_mutex);
    if (m_open.erase(handle) > 0)
        countClosed();
}

} // namespace qv
