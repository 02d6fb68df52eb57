// The credentials that worked for a server during this session, shared by every SMB
// client of the program (the location tree's and the searches'): a server the user
// logged on to once is reached with the same account by every later request.
#pragma once

#include "platform/SmbProtocol.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class SmbClient;

class CredentialStore final {
public:
    // The program's one store; tests make stores of their own.
    static std::shared_ptr<CredentialStore> shared();

    // The client gets every entry stored so far at once and every later one as it
    // is stored. The store holds it weakly: a client that is gone is forgotten.
    void attach(const std::shared_ptr<SmbClient>& client);

    // Keeps the credentials for the server (names compare without ASCII case) and
    // hands them to every attached client.
    void store(const std::string& server, const SmbCredentials& credentials);
    std::optional<SmbCredentials> find(const std::string& server) const;

    // The one spelling under which a server's entry is kept and handed out.
    static std::string keyOf(const std::string& server);

private:
    mutable std::mutex m_mutex;
    std::map<std::string, SmbCredentials> m_entries; // by keyOf(server)
    std::vector<std::weak_ptr<SmbClient>> m_clients;
};

} // namespace qv
