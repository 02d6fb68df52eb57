// Credentials kept for the session and handed to every SMB client of the program.
#include "platform/CredentialStore.h"

#include "platform/SmbClient.h"

#include <algorithm>

namespace qv {

std::shared_ptr<CredentialStore> CredentialStore::shared()
{
    static const std::shared_ptr<CredentialStore> store = std::make_shared<CredentialStore>();
    return store;
}

std::string CredentialStore::keyOf(const std::string& server)
{
    std::string key = server;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
    return key;
}

void CredentialStore::attach(const std::shared_ptr<SmbClient>& client)
{
    if (!client)
        return;
    std::lock_guard lock(m_mutex);
    std::erase_if(m_clients, [](const std::weak_ptr<SmbClient>& c) { return c.expired(); });
    m_clients.push_back(client);
    // Setting credentials on a client never waits for a request in progress, so
    // doing it under the lock cannot hold up another thread for long.
    for (const auto& [key, credentials] : m_entries)
        client->setServerCredentials(key, credentials);
}

void CredentialStore::store(const std::string& server, const SmbCredentials& credentials)
{
    std::lock_guard lock(m_mutex);
    // Clients keep one entry per spelling; one spelling per server keeps them from
    // holding two entries that the helper would have to choose between.
    const std::string key = keyOf(server);
    m_entries[key] = credentials;
    std::erase_if(m_clients, [](const std::weak_ptr<SmbClient>& c) { return c.expired(); });
    for (const std::weak_ptr<SmbClient>& weak : m_clients)
        if (const std::shared_ptr<SmbClient> client = weak.lock())
            client->setServerCredentials(key, credentials);
}

std::optional<SmbCredentials> CredentialStore::find(const std::string& server) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(keyOf(server));
    if (it == m_entries.end())
        return std::nullopt;
    return it->second;
}

} // namespace qv
