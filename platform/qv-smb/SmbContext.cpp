// libsmbclient behind one context: every call goes through the context's own function
// pointers, never through the process-wide smbc_set_context.
#include "platform/qv-smb/SmbContext.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/stat.h>

namespace qv {
namespace {

constexpr int kDefaultTimeoutMs = 5000;
// Direct SMB over TCP. Left to itself the library tries NetBIOS on 139 first for a
// computer's share list, whose session request to a server that accepts connections
// but does not answer waits 20 s whatever the timeout says, before it tries 445.
constexpr int kDirectPort = 445;
constexpr std::uint16_t kDirectoryAttribute = 0x10; // FILE_ATTRIBUTE_DIRECTORY

// libsmbclient leaves errno at 0 on a few failures; a failure must never read as success.
int lastError()
{
    const int e = errno;
    return e != 0 ? e : EIO;
}

// Whether any network interface is up with an address. Without one, libsmbclient ends
// the whole process while it sets a context up ("Could not determine network
// interfaces"), before the helper could answer anything.
bool anyInterfaceUp()
{
    struct ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return true; // not known: let the library decide
    bool up = false;
    for (const struct ifaddrs* i = interfaces; i && !up; i = i->ifa_next)
        up = i->ifa_addr && (i->ifa_addr->sa_family == AF_INET || i->ifa_addr->sa_family == AF_INET6) &&
             (i->ifa_flags & IFF_UP);
    freeifaddrs(interfaces);
    return up;
}

// 0 is what libsmbclient gives for a time the server does not keep.
std::int64_t seconds(const struct timespec& ts)
{
    if (ts.tv_sec == 0 && ts.tv_nsec == 0)
        return -1;
    return static_cast<std::int64_t>(ts.tv_sec);
}

void copyOut(char* out, int capacity, const std::string& value)
{
    if (capacity <= 0)
        return;
    const std::size_t n = std::min(value.size(), static_cast<std::size_t>(capacity) - 1);
    std::memcpy(out, value.data(), n);
    out[n] = '\0';
}

bool isDotEntry(const char* name) { return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)); }

SmbNetEntry::Kind kindOf(unsigned int type)
{
    switch (type) {
    case SMBC_WORKGROUP:
        return SmbNetEntry::Kind::Workgroup;
    case SMBC_SERVER:
        return SmbNetEntry::Kind::Server;
    case SMBC_FILE_SHARE:
        return SmbNetEntry::Kind::FileShare;
    case SMBC_PRINTER_SHARE:
        return SmbNetEntry::Kind::PrinterShare;
    default:
        return SmbNetEntry::Kind::Other;
    }
}

} // namespace

SmbContext::SmbContext(int debugLevel)
{
    if (!anyInterfaceUp()) {
        m_noNetwork = true;
        return;
    }
    SMBCCTX* ctx = smbc_new_context();
    if (!ctx)
        return;
    smbc_setDebug(ctx, debugLevel);
    smbc_setOptionDebugToStderr(ctx, 1);
    // Without this, an empty user makes libsmbclient try the logged-in user's
    // Kerberos ticket cache instead of a guest session.
    smbc_setOptionUseCCache(ctx, 0);
    smbc_setOptionUseKerberos(ctx, 0);
    smbc_setOptionFallbackAfterKerberos(ctx, 1);
    smbc_setTimeout(ctx, kDefaultTimeoutMs);
    smbc_setOptionUserData(ctx, this);
    smbc_setFunctionAuthDataWithContext(ctx, &SmbContext::authenticate);
    if (!smbc_init_context(ctx)) {
        smbc_free_context(ctx, 0);
        return;
    }
    m_ctx = ctx;
}

SmbContext::~SmbContext()
{
    if (!m_ctx)
        return;
    for (const auto& [handle, file] : m_files)
        smbc_getFunctionClose(m_ctx)(m_ctx, file);
    // Shuts the connections down: nothing else in this process uses libsmbclient.
    smbc_free_context(m_ctx, 1);
}

void SmbContext::setCredentials(const std::string& server, const SmbCredentials& credentials)
{
    if (server.empty())
        m_default = credentials;
    else
        m_servers[SmbUrl::serverKey(server)] = credentials;
}

void SmbContext::setTimeoutMs(int ms)
{
    if (m_ctx)
        smbc_setTimeout(m_ctx, ms > 0 ? ms : kDefaultTimeoutMs);
}

const SmbCredentials& SmbContext::credentialsFor(std::string_view server) const
{
    std::string key = SmbUrl::serverKey(server);
    // libsmbclient names the server as the URL did: an address in place of a name.
    if (const auto named = m_namesByHost.find(key); named != m_namesByHost.end())
        key = named->second;
    const auto it = m_servers.find(key);
    return it != m_servers.end() ? it->second : m_default;
}

int SmbContext::setHostAddress(const std::string& name, const std::string& address)
{
    const std::string key = SmbUrl::serverKey(name);
    if (key.empty())
        return EINVAL;
    if (const auto old = m_addresses.find(key); old != m_addresses.end()) {
        m_namesByHost.erase(old->second);
        m_addresses.erase(old);
    }
    if (address.empty())
        return 0;
    const std::string host = SmbUrl::hostForAddress(address);
    if (host.empty())
        return EINVAL;
    m_addresses[key] = host;
    m_namesByHost[SmbUrl::serverKey(host)] = key;
    return 0;
}

std::string SmbContext::hostOf(const std::string& server) const
{
    const auto it = m_addresses.find(SmbUrl::serverKey(server));
    return it != m_addresses.end() ? it->second : SmbUrl::encodeComponent(server);
}

std::string SmbContext::targetUrl(const SmbUrl& parsed) const
{
    if (parsed.level() == SmbUrl::Level::Network || parsed.level() == SmbUrl::Level::Workgroup)
        return parsed.url();
    const auto it = m_addresses.find(SmbUrl::serverKey(parsed.server()));
    return it == m_addresses.end() ? parsed.url() : parsed.urlWithHost(it->second);
}

void SmbContext::authenticate(SMBCCTX* ctx, const char* server, const char* share, char* workgroup,
                              int workgroupLength, char* user, int userLength, char* password, int passwordLength)
{
    (void)share;
    const auto* self = static_cast<const SmbContext*>(smbc_getOptionUserData(ctx));
    static const SmbCredentials kAnonymous;
    const SmbCredentials& credentials = self ? self->credentialsFor(server ? server : "") : kAnonymous;
    // The workgroup buffer comes filled with smb.conf's workgroup; keep it unless a
    // domain was given.
    if (!credentials.domain.empty())
        copyOut(workgroup, workgroupLength, credentials.domain);
    copyOut(user, userLength, credentials.user);
    copyOut(password, passwordLength, credentials.password);
}

void SmbContext::useRange(Range range)
{
    // NetBIOS browse lists (workgroups, computers) are only served over SMB1; shares
    // and files go over SMB2 and later, which also give the creation time. A connection
    // keeps the protocol it negotiated, so switching between requests is safe here,
    // where one thread makes every call.
    const bool browse = range == Range::Browse;
    const int port = browse || m_everyPort.count(m_server) ? 0 : kDirectPort;
    if (port != m_port) {
        smbc_setPort(m_ctx, static_cast<std::uint16_t>(port));
        m_port = port;
    }
    if (range == m_range)
        return;
    if (smbc_setOptionProtocols(m_ctx, browse ? "NT1" : "SMB2_02", browse ? "NT1" : "SMB3"))
        m_range = range;
}

int SmbContext::withEveryPortIfRefused(const std::function<int()>& attempt)
{
    const int rc = attempt();
    if (rc != ECONNREFUSED || m_port != kDirectPort)
        return rc;
    m_everyPort.insert(m_server);
    useRange(Range::Files);
    return attempt();
}

int SmbContext::prepare(const std::string& url, SmbUrl& parsed, std::string& target)
{
    if (!m_ctx)
        return m_noNetwork ? ENETDOWN : ENOTSUP;
    auto maybe = SmbUrl::fromUrl(url);
    if (!maybe)
        return EINVAL;
    parsed = std::move(*maybe);
    target = targetUrl(parsed);
    m_server = SmbUrl::serverKey(parsed.server());
    useRange(parsed.level() == SmbUrl::Level::Share || parsed.level() == SmbUrl::Level::Folder ? Range::Files
                                                                                                : Range::Browse);
    const bool kerberos = credentialsFor(parsed.server()).kerberos;
    if (kerberos != m_kerberos) {
        smbc_setOptionUseKerberos(m_ctx, kerberos ? 1 : 0);
        m_kerberos = kerberos;
    }
    return 0;
}

int SmbContext::listNetwork(const std::string& url, SmbNameHint hint, std::vector<SmbNetEntry>& out)
{
    out.clear();
    SmbUrl parsed;
    std::string target;
    if (const int rc = prepare(url, parsed, target))
        return rc;
    // "smb://" and "smb://WG" are browse lists, which only SMB1 serves.
    if (parsed.level() != SmbUrl::Level::Computer || hint == SmbNameHint::Workgroup) {
        useRange(Range::Browse);
        return readNetworkLevel(hint == SmbNameHint::Workgroup ? url : target, out);
    }
    const std::string key = SmbUrl::serverKey(parsed.server());
    const bool computer = hint == SmbNameHint::Computer
        || (hint == SmbNameHint::Unknown && (m_knownComputers.count(key) || m_addresses.count(key)));
    if (!computer) {
        // "smb://NAME" may name a workgroup, whose browse list only SMB1 serves, or a
        // computer, whose share list both serve: SMB1 first covers both, and a server
        // that turns SMB1 down is asked again over SMB2 and later.
        useRange(Range::Browse);
        const int rc = readNetworkLevel(target, out);
        if (!refusesProtocol(rc))
            return rc;
        useRange(Range::Files);
        return readNetworkLevel(target, out);
    }
    // A computer's share list goes over SMB2 and later: today's servers turn SMB1
    // down. libsmbclient would first ask the network whether NAME is a workgroup
    // (broadcast queries for NAME<1D> and NAME<1B>, about half a second when it is
    // not) unless it already holds a connection to NAME's IPC$, so that connection is
    // made first. A computer that cannot be reached is not asked again over another
    // protocol (an unplugged one costs the whole timeout each time).
    useRange(Range::Files);
    const int rc = withEveryPortIfRefused([&] {
        const int connectRc = connectIpc(hostOf(parsed.server()));
        return unreachable(connectRc) ? connectRc : readNetworkLevel(target, out);
    });
    if (!refusesProtocol(rc))
        return rc;
    // A server that speaks SMB1 only.
    useRange(Range::Browse);
    return readNetworkLevel(target, out);
}

int SmbContext::connectIpc(const std::string& host)
{
    // Listing IPC$ as a folder fails (EACCES from Samba), but the connection it opened
    // stays in libsmbclient's cache, where the share list finds it.
    const std::string url = "smb://" + host + "/IPC$";
    errno = 0;
    SMBCFILE* dir = smbc_getFunctionOpendir(m_ctx)(m_ctx, url.c_str());
    if (!dir)
        return lastError();
    smbc_getFunctionClosedir(m_ctx)(m_ctx, dir);
    return 0;
}

bool SmbContext::unreachable(int error)
{
    // Not ECONNREFUSED: over SMB2 libsmbclient answers the IPC$ listing with it even
    // when the server is up, and a refused connection costs no time anyway.
    switch (error) {
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
        return true;
    default:
        return false;
    }
}

bool SmbContext::refusesProtocol(int error)
{
    switch (error) {
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTSUP:
    case EPROTONOSUPPORT:
    case EPROTO:
    case EIO:
        return true;
    default:
        return false;
    }
}

int SmbContext::readNetworkLevel(const std::string& url, std::vector<SmbNetEntry>& out)
{
    out.clear();
    errno = 0;
    SMBCFILE* dir = smbc_getFunctionOpendir(m_ctx)(m_ctx, url.c_str());
    if (!dir)
        return lastError();
    const auto readdir = smbc_getFunctionReaddir(m_ctx);
    int rc = 0;
    for (;;) {
        errno = 0;
        const struct smbc_dirent* entry = readdir(m_ctx, dir);
        if (!entry) {
            rc = errno;
            break;
        }
        if (isDotEntry(entry->name))
            continue;
        out.push_back({entry->name, kindOf(entry->smbc_type)});
        if (entry->smbc_type == SMBC_SERVER)
            m_knownComputers.insert(SmbUrl::serverKey(entry->name));
    }
    smbc_getFunctionClosedir(m_ctx)(m_ctx, dir);
    if (rc != 0)
        out.clear();
    return rc;
}

int SmbContext::listFolder(const std::string& url, std::vector<FileEntry>& out)
{
    out.clear();
    SmbUrl parsed;
    std::string target;
    if (const int rc = prepare(url, parsed, target))
        return rc;
    if (parsed.level() != SmbUrl::Level::Share && parsed.level() != SmbUrl::Level::Folder)
        return ENOTDIR;
    SMBCFILE* dir = nullptr;
    if (const int rc = withEveryPortIfRefused([&] {
            errno = 0;
            dir = smbc_getFunctionOpendir(m_ctx)(m_ctx, target.c_str());
            return dir ? 0 : lastError();
        }))
        return rc;
    int rc = 0;
    for (;;) {
        errno = 0;
        // One pass gives names, attributes, sizes and the three times: the listing's
        // own answer from the server, no request per entry.
#ifdef QV_HAVE_READDIRPLUS2
        struct stat st {};
        const struct libsmb_file_info* info = smbc_getFunctionReaddirPlus2(m_ctx)(m_ctx, dir, &st);
#else
        const struct libsmb_file_info* info = smbc_getFunctionReaddirPlus(m_ctx)(m_ctx, dir);
#endif
        if (!info) {
            rc = errno;
            break;
        }
        if (!info->name || isDotEntry(info->name))
            continue;
        FileEntry entry;
        entry.name = info->name;
        entry.isFolder = (info->attrs & kDirectoryAttribute) != 0;
        entry.hasDetails = true;
        entry.size = entry.isFolder ? 0 : static_cast<std::int64_t>(info->size);
        entry.created = seconds(info->btime_ts);
        entry.written = seconds(info->mtime_ts);
        entry.accessed = seconds(info->atime_ts);
        out.push_back(std::move(entry));
    }
    smbc_getFunctionClosedir(m_ctx)(m_ctx, dir);
    if (rc != 0)
        out.clear();
    return rc;
}

int SmbContext::openFile(const std::string& url, std::uint32_t& handle)
{
    SmbUrl parsed;
    std::string target;
    if (const int rc = prepare(url, parsed, target))
        return rc;
    if (parsed.level() != SmbUrl::Level::Folder)
        return EISDIR;
    SMBCFILE* file = nullptr;
    if (const int rc = withEveryPortIfRefused([&] {
            errno = 0;
            file = smbc_getFunctionOpen(m_ctx)(m_ctx, target.c_str(), O_RDONLY, 0);
            return file ? 0 : lastError();
        }))
        return rc;
    while (m_nextHandle == 0 || m_files.count(m_nextHandle))
        ++m_nextHandle;
    handle = m_nextHandle++;
    m_files[handle] = file;
    return 0;
}

int SmbContext::read(std::uint32_t handle, std::string& data, std::size_t capacity)
{
    data.clear();
    const auto it = m_files.find(handle);
    if (it == m_files.end())
        return EBADF;
    data.resize(capacity);
    errno = 0;
    const ssize_t n = smbc_getFunctionRead(m_ctx)(m_ctx, it->second, data.data(), capacity);
    if (n < 0) {
        data.clear();
        return lastError();
    }
    data.resize(static_cast<std::size_t>(n));
    return 0;
}

int SmbContext::closeFile(std::uint32_t handle)
{
    const auto it = m_files.find(handle);
    if (it == m_files.end())
        return EBADF;
    errno = 0;
    const int rc = smbc_getFunctionClose(m_ctx)(m_ctx, it->second);
    m_files.erase(it);
    return rc < 0 ? lastError() : 0;
}

} // namespace qv
