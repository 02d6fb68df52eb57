// The desktop's password store, where the user may keep an SMB account beyond the
// session. Calls may block (they go over D-Bus); the location tree makes them on its
// own thread.
#pragma once

#include "platform/SmbProtocol.h"

#include <memory>
#include <optional>
#include <string>

namespace qv {

class PasswordKeyring {
public:
    virtual ~PasswordKeyring() = default;

    // The account kept for the server, if any.
    virtual std::optional<SmbCredentials> lookup(const std::string& server) = 0;
    // False when the keyring did not take it.
    virtual bool save(const std::string& server, const SmbCredentials& credentials) = 0;
    // From any thread: a call in progress gives up.
    virtual void cancel() {}

    // The desktop's keyring, or nullptr when the program was built without one.
    static std::shared_ptr<PasswordKeyring> desktop();
};

} // namespace qv
