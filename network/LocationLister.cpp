#include "network/LocationLister.h"

#include "network/LocationSource.h"
#include "platform/CredentialStore.h"
#include "platform/PasswordKeyring.h"

#include <cerrno>

namespace qv {

LocationLister::LocationLister(std::shared_ptr<LocationSource> source, std::shared_ptr<CredentialStore> store,
                               std::shared_ptr<PasswordKeyring> keyring)
    : m_source(std::move(source)), m_store(std::move(store)), m_keyring(std::move(keyring))
{
}

std::string LocationLister::serverOf(const std::string& name)
{
    if (name.size() < 3 || name[0] != '\\' || name[1] != '\\' || name[2] == '\\')
        return {};
    return name.substr(2, name.find('\\', 2) - 2);
}

ListingReply LocationLister::list(const ListingRequest& request)
{
    ListingReply reply;
    if (request.kind == ListingRequest::Kind::Container)
        reply.error = m_source->listContainer(request.name, reply.children);
    else
        reply.error = m_source->listFolders(request.name, reply.folders);
    return reply;
}

ListingReply LocationLister::run(const ListingRequest& request)
{
    const std::string server = serverOf(request.name);
    if (server.empty())
        return list(request);
    const std::optional<SmbCredentials> session = m_store ? m_store->find(server) : std::nullopt;

    ListingReply reply;
    if (request.account) {
        if (tryAccount(request, server, *request.account, reply)) {
            if (m_store)
                m_store->store(server, *request.account);
            if (request.remember && m_keyring)
                m_keyring->save(server, *request.account);
            return reply;
        }
    } else {
        reply = list(request);
        // The keyring is asked once per server and session: after that, what it
        // keeps has either worked (and is in the store) or has been refused.
        if (reply.error == EACCES && m_keyring && m_keyringAsked.insert(CredentialStore::keyOf(server)).second) {
            const std::optional<SmbCredentials> kept = m_keyring->lookup(server);
            ListingReply second;
            if (kept && kept != session && tryAccount(request, server, *kept, second)) {
                if (m_store)
                    m_store->store(server, *kept);
                return second;
            }
        }
    }
    reply.server = server;
    reply.sessionAccount = session;
    return reply;
}

bool LocationLister::tryAccount(const ListingRequest& request, const std::string& server,
                                const SmbCredentials& account, ListingReply& reply)
{
    m_source->setServerCredentials(server, account);
    reply = list(request);
    if (reply.error == 0)
        return true;
    // An account that was refused must not spoil the next listing of that server
    // (a wrong password is refused even where a guest is let in).
    restoreSessionAccount(server);
    return false;
}

void LocationLister::restoreSessionAccount(const std::string& server)
{
    const std::optional<SmbCredentials> session = m_store ? m_store->find(server) : std::nullopt;
    m_source->setServerCredentials(server, session.value_or(SmbCredentials{}));
}

} // namespace qv
