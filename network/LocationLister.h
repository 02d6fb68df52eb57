// One listing of the location tree, with the account it needs: a refused share
// or folder is tried with the account the desktop keyring keeps for its server, then
// the user's answer is tried and, when it works, kept for the session (and in the
// keyring when the user asked for that). Runs on the tree's worker thread.
#pragma once

#include "network/NetResource.h"
#include "platform/SmbProtocol.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv {

class CredentialStore;
class LocationSource;
class PasswordKeyring;

struct ListingRequest {
    enum class Kind { Container, Folder };
    Kind kind = Kind::Container;
    std::string name; // the container's name or the folder's path
    // The account the user gave for the server, to try; kept when it works.
    std::optional<SmbCredentials> account;
    bool remember = false; // also keep it in the keyring
};

struct ListingReply {
    int error = 0;                     // 0, EACCES (refused), another errno value
    std::vector<NetResource> children; // a container's entries, as delivered
    std::vector<std::string> folders;  // a folder's sub-folders, as listed
    // Whose account was refused (empty when no server is named, e.g. a workgroup),
    // and what the session held for it when the listing was made.
    std::string server;
    std::optional<SmbCredentials> sessionAccount;
};

class LocationLister final {
public:
    // The store and the keyring may be null.
    LocationLister(std::shared_ptr<LocationSource> source, std::shared_ptr<CredentialStore> store,
                   std::shared_ptr<PasswordKeyring> keyring);

    ListingReply run(const ListingRequest& request);

    // "HOST" of "\\HOST", "\\HOST\share" and deeper; empty for anything else.
    static std::string serverOf(const std::string& name);

    LocationSource& source() { return *m_source; }

private:
    ListingReply list(const ListingRequest& request);
    bool tryAccount(const ListingRequest& request, const std::string& server, const SmbCredentials& account,
                    ListingReply& reply);
    void restoreSessionAccount(const std::string& server);

    std::shared_ptr<LocationSource> m_source;
    std::shared_ptr<CredentialStore> m_store;
    std::shared_ptr<PasswordKeyring> m_keyring;
    std::set<std::string> m_keyringAsked; // servers already looked up (by store key)
};

} // namespace qv
