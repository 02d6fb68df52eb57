// The location tree's listings over SMB, through a qv-smb helper of the tree's own,
// so that a slow server in the tree never holds up a search, nor a search the tree.
#pragma once

#include "network/LocationSource.h"

#include <memory>

namespace qv {

class CredentialStore;
class NetworkDirectory;
class SmbClient;
class SmbFileSystem;
class SmbNetworkEnumerator;

class SmbLocationSource final : public LocationSource {
public:
    // The client is attached to the store, so it logs on with whatever the session
    // has learnt for a server.
    // With a directory, lists hold what discovery knows when they are made, and the
    // computers only discovery knows are reached at their addresses.
    explicit SmbLocationSource(const std::shared_ptr<CredentialStore>& store,
                               std::shared_ptr<NetworkDirectory> directory = nullptr);
    SmbLocationSource(std::shared_ptr<SmbClient> client, const std::shared_ptr<CredentialStore>& store,
                      std::shared_ptr<NetworkDirectory> directory = nullptr);
    ~SmbLocationSource() override;

    void setServerCredentials(const std::string& server, const SmbCredentials& credentials) override;
    void abort() override;

    SmbClient& client() { return *m_client; }

protected:
    int containerError() const override;
    int folderError() const override;

private:
    struct Parts;
    SmbLocationSource(std::shared_ptr<Parts> parts, const std::shared_ptr<CredentialStore>& store,
                      const std::shared_ptr<NetworkDirectory>& directory);

    std::shared_ptr<Parts> m_parts;
    std::shared_ptr<SmbClient> m_client;
};

} // namespace qv
