#include "cli/LoginOptions.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

void splitDomain(LoginOptions& login)
{
    const auto cut = login.user.find_first_of("\\/");
    if (cut == std::string::npos)
        return;
    login.domain = login.user.substr(0, cut);
    login.user = login.user.substr(cut + 1);
}

} // namespace

LoginOptions LoginOptions::fromUserArgument(const std::string& text)
{
    LoginOptions login;
    const auto percent = text.find('%');
    login.user = text.substr(0, percent);
    if (percent != std::string::npos)
        login.password = text.substr(percent + 1);
    splitDomain(login);
    return login;
}

bool LoginOptions::fromFile(const std::string& path, LoginOptions& login, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the authentication file '" + path + "'";
        return false;
    }
    LoginOptions read;
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = trimmed(line.substr(0, eq));
        const std::string value = trimmed(line.substr(eq + 1));
        if (key == "username")
            read.user = value;
        else if (key == "password")
            read.password = value;
        else if (key == "domain")
            read.domain = value;
    }
    if (read.user.empty()) {
        error = "the authentication file '" + path + "' names no user (username = ...)";
        return false;
    }
    if (read.domain.empty())
        splitDomain(read);
    login = read;
    return true;
}

bool LoginOptions::hasKerberosTicket()
{
    if (const char* cache = std::getenv("KRB5CCNAME"); cache && *cache)
        return true;
    struct stat st {};
    const std::string defaultCache = "/tmp/krb5cc_" + std::to_string(getuid());
    return stat(defaultCache.c_str(), &st) == 0;
}

} // namespace qv
