#include "tests/support/ScriptedNetwork.h"

#include <algorithm>
#include <utility>

namespace qv::test {

void ScriptedNetwork::setChildren(const std::string& key, std::vector<NetResource> children)
{
    std::lock_guard lock(m_mutex);
    m_children[key] = std::move(children);
}

void ScriptedNetwork::setLateChildren(const std::string& key, std::vector<NetResource> children)
{
    std::lock_guard lock(m_mutex);
    m_lateChildren[key] = std::move(children);
}

std::vector<NetResource> ScriptedNetwork::lateChildren(const std::string& key)
{
    if (waitForLate)
        waitForLate();
    std::lock_guard lock(m_mutex);
    return m_lateChildren[key];
}

void ScriptedNetwork::allowLateEntries(bool allowed)
{
    std::lock_guard lock(m_mutex);
    m_allowLate = allowed;
    if (!allowed)
        m_late = {};
}

NetworkEnumerator::LateEntries ScriptedNetwork::takeLateEntries()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_late, {});
}

void ScriptedNetwork::addWorkgroup(const std::string& workgroup,
                                   const std::map<std::string, std::vector<std::string>>& computersAndShares)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_children[""].empty())
            m_children[""].push_back({"SMB", true, false});
        m_children["entry:SMB"].push_back({workgroup, true, false});
    }
    std::vector<NetResource> computers;
    for (const auto& [computer, shares] : computersAndShares) {
        const std::string host = "\\\\" + computer;
        computers.push_back({host, true, false});
        std::vector<NetResource> shareEntries;
        for (const std::string& share : shares) {
            const bool printer = share == "lp" || (share.size() > 8 && share.substr(share.size() - 8) == "-printer");
            shareEntries.push_back({host + "\\" + share, false, printer});
        }
        setChildren(host, shareEntries);
    }
    setChildren(workgroup, computers);
}

std::string ScriptedNetwork::keyOf(const EnumContainer& container)
{
    switch (container.form) {
    case EnumContainer::Form::Root: return "";
    case EnumContainer::Form::Entry: return "entry:" + container.entry.remoteName;
    case EnumContainer::Form::Name: return container.name;
    }
    return "";
}

bool ScriptedNetwork::open(const EnumContainer& container, Handle& handle)
{
    const std::string key = keyOf(container);
    if (onOpen)
        onOpen(key);
    std::lock_guard lock(m_mutex);
    opened.push_back(key);
    if (failingOpens.count(key) || !m_children.count(key)) {
        noteError(failingOpens.count(key) ? openError : ENOENT);
        return false;
    }
    handle = m_nextHandle++;
    m_open[handle] = {key, m_children[key], 0, 0, m_lateChildren.count(key) > 0};
    countOpened();
    return true;
}

EnumResult ScriptedNetwork::nextBatch(Handle handle, std::uint32_t& requested, EnumBlock& block, std::uint32_t& blockSize)
{
    std::unique_lock lock(m_mutex);
    requestsSeen.push_back(requested);
    const auto it = m_open.find(handle);
    if (it == m_open.end()) {
        ++misuses;
        return EnumResult::Failure;
    }
    Open& open = it->second;
    if (open.batches++ > 0 && failingAfterFirstBatch.count(open.key))
        return EnumResult::Failure;
    if (open.next >= open.entries.size() && open.latePending) {
        open.latePending = false;
        const std::string key = open.key;
        if (m_allowLate) {
            m_late = [this, key] { return lateChildren(key); };
        } else {
            lock.unlock();
            std::vector<NetResource> late = lateChildren(key);
            lock.lock();
            const auto again = m_open.find(handle);
            if (again == m_open.end())
                return EnumResult::Failure;
            again->second.entries.insert(again->second.entries.end(), late.begin(), late.end());
            return deliverBatch(again->second.entries, again->second.next, requested, block, blockSize,
                                maxEntriesPerBatch);
        }
    }
    return deliverBatch(open.entries, open.next, requested, block, blockSize, maxEntriesPerBatch);
}

void ScriptedNetwork::close(Handle handle)
{
    std::lock_guard lock(m_mutex);
    if (m_open.erase(handle) == 0) {
        ++misuses;
        return;
    }
    countClosed();
}

} // namespace qv::test
