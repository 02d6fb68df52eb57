// The one libsmbclient context of the qv-smb helper: its options, the credentials
// table its authentication callback answers from, the protocol range each kind of
// request needs, and the files it has open.
#pragma once

#include "platform/SmbProtocol.h"
#include "platform/SmbUrl.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <libsmbclient.h>

namespace qv {

class SmbContext final {
public:
    // debugLevel: libsmbclient's debug level, written to stderr (0 is quiet).
    explicit SmbContext(int debugLevel = 0);
    ~SmbContext();
    SmbContext(const SmbContext&) = delete;
    SmbContext& operator=(const SmbContext&) = delete;

    // False when libsmbclient could not set the context up; every request then fails,
    // with ENETDOWN when no network interface is up (the helper still answers).
    bool ok() const { return m_ctx != nullptr; }

    // server "" sets the default entry, used for every server without one of its own.
    void setCredentials(const std::string& server, const SmbCredentials& credentials);
    void setTimeoutMs(int ms);
    // Where a computer that name resolution cannot find answers (an address a
    // discovery source or the user gave); an empty address forgets it. Requests for
    // NAME then go to the address, and the account kept for NAME answers the server.
    int setHostAddress(const std::string& name, const std::string& address);

    // Each returns 0 or an errno value.
    // hint: what the one name of "smb://NAME" is, if the client knows.
    int listNetwork(const std::string& url, SmbNameHint hint, std::vector<SmbNetEntry>& out);
    int listFolder(const std::string& url, std::vector<FileEntry>& out);
    int openFile(const std::string& url, std::uint32_t& handle);
    // Up to `capacity` bytes into `data` (resized to what was read; empty at the end).
    int read(std::uint32_t handle, std::string& data, std::size_t capacity);
    int closeFile(std::uint32_t handle);

private:
    enum class Range { Unset, Browse, Files };

    static void authenticate(SMBCCTX* ctx, const char* server, const char* share, char* workgroup, int workgroupLength,
                             char* user, int userLength, char* password, int passwordLength);
    const SmbCredentials& credentialsFor(std::string_view server) const;
    // Sets the protocol range and the Kerberos options the request for `url` needs and
    // gives the URL to ask libsmbclient (the computer's known address in place of its
    // name); 0, or EINVAL when the URL cannot be parsed.
    int prepare(const std::string& url, SmbUrl& parsed, std::string& target);
    // The server part libsmbclient is to connect to for a computer name.
    std::string hostOf(const std::string& server) const;
    std::string targetUrl(const SmbUrl& parsed) const;
    // The protocol range, and with it the ports: over SMB2 and later port 445 alone,
    // unless the server refused it; SMB1 browsing on the library's own choice.
    void useRange(Range range);
    // Runs `attempt`; when port 445 alone was refused, once more on every port the
    // library tries (a server that serves SMB on 139 only), which the server then keeps.
    int withEveryPortIfRefused(const std::function<int()>& attempt);
    // One opendir/readdir pass above the share level, with the range already set.
    int readNetworkLevel(const std::string& url, std::vector<SmbNetEntry>& out);
    // Errors with which a server turns a protocol down.
    static bool refusesProtocol(int error);
    // Opens (and keeps, in libsmbclient's cache) a connection to the computer's IPC$;
    // 0, or the errno value of the failed attempt. `host` is the URL's server part.
    int connectIpc(const std::string& host);
    // Errors that say the computer cannot be reached at all.
    static bool unreachable(int error);

    SMBCCTX* m_ctx = nullptr;
    bool m_noNetwork = false; // no interface was up when the helper started
    Range m_range = Range::Unset;
    int m_port = 0;           // 0: the library's own choice of 445 and 139
    std::string m_server;     // of the request in progress, ASCII lower case
    std::set<std::string> m_everyPort; // servers that refused port 445 alone
    bool m_kerberos = false;
    SmbCredentials m_default;
    std::map<std::string, SmbCredentials> m_servers; // key: name in ASCII lower case
    std::set<std::string> m_knownComputers;           // listed as servers; ASCII lower case
    std::map<std::string, std::string> m_addresses;   // computer name (ASCII lower case) -> URL host
    std::map<std::string, std::string> m_namesByHost; // URL host -> computer name (ASCII lower case)
    std::map<std::uint32_t, SMBCFILE*> m_files;
    std::uint32_t m_nextHandle = 1;
};

} // namespace qv
