// Who qvsearch logs in to SMB servers as: -U user[%password], -A FILE, or a Kerberos ticket.
#pragma once

#include <string>

namespace qv {

struct LoginOptions {
    std::string user;     // empty: guest or anonymous
    std::string password;
    std::string domain;
    bool kerberos = false; // a ticket cache is there: try it first

    // "user", "user%password", "DOMAIN\user%password" or "DOMAIN/user".
    static LoginOptions fromUserArgument(const std::string& text);
    // An authentication file of "username = ...", "password = ...", "domain = ..."
    // lines; false with a message when it cannot be read or holds no user name.
    static bool fromFile(const std::string& path, LoginOptions& login, std::string& error);
    // Whether the environment holds a Kerberos ticket cache for this user.
    static bool hasKerberosTicket();
};

} // namespace qv
