#include "network/SmbNetworkEnumerator.h"

#include "platform/SmbClient.h"
#include "platform/SmbUrl.h"

#include <cerrno>

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

} // namespace

SmbNetworkEnumerator::SmbNetworkEnumerator(SmbClient& client) : m_client(client) {}

bool SmbNetworkEnumerator::childrenOf(const EnumContainer& container, std::vector<NetResource>& children)
{
    children.clear();
    std::vector<SmbNetEntry> listed;
    switch (container.form) {
    case EnumContainer::Form::Root:
        children.push_back({kProviderName, true, false});
        return true;
    case EnumContainer::Form::Entry:
        if (container.entry.remoteName != kProviderName || m_client.listNetwork(SmbUrl().url(), listed) != 0)
            return false;
        for (const SmbNetEntry& entry : listed)
            if (entry.kind == SmbNetEntry::Kind::Workgroup)
                children.push_back({entry.name, true, false});
        return true;
    case EnumContainer::Form::Name:
        break;
    }
    const std::optional<SmbUrl> place = SmbUrl::fromNetworkName(container.name);
    if (!place) {
        m_lastError.store(ENOENT, std::memory_order_relaxed);
        return false;
    }
    if (place->level() == SmbUrl::Level::Workgroup) {
        if (const int rc = m_client.listNetwork(*place, listed)) {
            m_lastError.store(rc, std::memory_order_relaxed);
            return false;
        }
        for (const SmbNetEntry& entry : listed)
            if (entry.kind == SmbNetEntry::Kind::Server)
                children.push_back({"\\\\" + entry.name, true, false});
        return true;
    }
    if (place->level() == SmbUrl::Level::Computer) {
        if (const int rc = m_client.listNetwork(*place, listed)) {
            m_lastError.store(rc, std::memory_order_relaxed);
            return false;
        }
        const std::string host = "\\\\" + place->server();
        for (const SmbNetEntry& entry : listed)
            if (isListedShare(entry))
                children.push_back({host + "\\" + entry.name, false, entry.kind == SmbNetEntry::Kind::PrinterShare});
        return true;
    }
    m_lastError.store(ENOTDIR, std::memory_order_relaxed);
    return false; // shares and folders are listed through the file system
}

bool SmbNetworkEnumerator::open(const EnumContainer& container, Handle& handle)
{
    Open open;
    if (!childrenOf(container, open.entries))
        return false;
    std::lock_guard lock(m_mutex);
    handle = m_nextHandle++;
    m_open.emplace(handle, std::move(open));
    countOpened();
    return true;
}

EnumResult SmbNetworkEnumerator::nextBatch(Handle handle, std::uint32_t& requested, EnumBlock& block,
                                           std::uint32_t& blockSize)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_open.find(handle);
    if (it == m_open.end())
        return EnumResult::Failure;
    return deliverBatch(it->second.entries, it->second.next, requested, block, blockSize);
}

void SmbNetworkEnumerator::close(Handle handle)
{
    std::lock_guard lock(m_mutex);
    if (m_open.erase(handle) > 0)
        countClosed();
}

} // namespace qv
