// The desktop keyring through libsecret (the Secret Service over D-Bus): one item per
// server, with the user name and domain as attributes and the password as the secret.
#pragma once

#include "platform/PasswordKeyring.h"

typedef struct _GCancellable GCancellable;

namespace qv {

class SecretServiceKeyring final : public PasswordKeyring {
public:
    SecretServiceKeyring();
    ~SecretServiceKeyring() override;
    SecretServiceKeyring(const SecretServiceKeyring&) = delete;
    SecretServiceKeyring& operator=(const SecretServiceKeyring&) = delete;

    std::optional<SmbCredentials> lookup(const std::string& server) override;
    bool save(const std::string& server, const SmbCredentials& credentials) override;
    void cancel() override;

private:
    GCancellable* m_cancel;
};

} // namespace qv
