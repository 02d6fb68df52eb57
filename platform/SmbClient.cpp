// One qv-smb helper process per SmbClient, spoken to over two pipes. A write to a
// helper that has died fails with EPIPE (HelperProcess::withoutSigpipe).
#include "platform/SmbClient.h"

#include "platform/HelperProcess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qv {
namespace {

constexpr std::uint32_t kChunk = 256u << 10;
constexpr auto kGracefulExit = std::chrono::milliseconds(1000);

// Failures after which the computer may still be found by another way than its name:
// the name did not resolve (libsmbclient then says ENOENT, EINVAL or that nothing
// answered), or an old address no longer answers.
bool mayBeResolvedElsewhere(int error)
{
    switch (error) {
    case ENOENT:
    case EINVAL:
    case ECONNREFUSED:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EIO:
        return true;
    default:
        return false;
    }
}

} // namespace

SmbClient::SmbClient() : SmbClient(findHelper()) {}

SmbClient::SmbClient(std::string helperPath) : m_helperPath(std::move(helperPath)) {}

SmbClient::~SmbClient()
{
    std::lock_guard lock(m_mutex);
    discardHelper(true);
}

namespace {

bool isExecutable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

} // namespace

std::string SmbClient::findHelper()
{
    if (const char* env = std::getenv("QV_SMB_HELPER"); env && *env)
        return env;
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return "qv-smb";
    return findHelperFrom(std::string(exe, static_cast<std::size_t>(n)));
}

std::string SmbClient::findHelperFrom(const std::string& executablePath)
{
    const std::string dir = executablePath.substr(0, executablePath.rfind('/') + 1);
    // The installed layout first: an installed program must never pick up a helper
    // that merely happens to lie where a build tree would keep one.
    for (const char* relative : {"qv-smb", QV_HELPER_FROM_BINDIR "/qv-smb", "../platform/qv-smb", "../../platform/qv-smb"}) {
        const std::string candidate = dir + relative;
        if (isExecutable(candidate))
            return candidate;
    }
    return dir + QV_HELPER_FROM_BINDIR "/qv-smb"; // missing: the first request fails with ENOENT
}

std::string SmbClient::helperFault() const
{
    std::lock_guard lock(m_faultMutex);
    return m_helperFault;
}

int SmbClient::helperFailed(const std::string& why)
{
    std::lock_guard lock(m_faultMutex);
    m_helperFault = "the SMB helper " + m_helperPath + " cannot be started (" + why +
                    "): the installation is incomplete";
    return ENOPKG;
}

pid_t SmbClient::helperPid() const
{
    std::lock_guard lock(m_pidMutex);
    return m_pid;
}

void SmbClient::setDefaultCredentials(const SmbCredentials& credentials)
{
    std::lock_guard lock(m_settingsMutex);
    m_defaultCredentials = credentials;
    ++m_settingsVersion;
}

void SmbClient::setServerCredentials(const std::string& server, const SmbCredentials& credentials)
{
    std::lock_guard lock(m_settingsMutex);
    m_serverCredentials[server] = credentials;
    ++m_settingsVersion;
}

void SmbClient::setTimeoutMs(int ms)
{
    std::lock_guard lock(m_settingsMutex);
    m_timeoutMs = ms;
    ++m_settingsVersion;
}

void SmbClient::setHostAddress(const std::string& name, const std::string& address)
{
    std::lock_guard lock(m_settingsMutex);
    const std::string key = SmbUrl::serverKey(name);
    const auto it = m_hostAddresses.find(key);
    if (address.empty()) {
        if (it == m_hostAddresses.end())
            return;
        m_hostAddresses.erase(it);
    } else {
        if (it != m_hostAddresses.end() && it->second == address)
            return;
        m_hostAddresses[key] = address;
    }
    ++m_settingsVersion;
}

std::string SmbClient::hostAddress(const std::string& name) const
{
    std::lock_guard lock(m_settingsMutex);
    const auto it = m_hostAddresses.find(SmbUrl::serverKey(name));
    return it != m_hostAddresses.end() ? it->second : std::string();
}

void SmbClient::setHostResolver(HostResolver resolver)
{
    std::lock_guard lock(m_settingsMutex);
    m_resolver = std::move(resolver);
}

int SmbClient::withResolution(const std::string& url, SmbNameHint hint, const std::function<int()>& attempt)
{
    const int rc = attempt();
    if (rc == 0 || hint == SmbNameHint::Workgroup || !mayBeResolvedElsewhere(rc) || isAborted())
        return rc;
    const auto place = SmbUrl::fromUrl(url);
    if (!place || place->level() == SmbUrl::Level::Network || SmbUrl::isAddressName(place->server()))
        return rc;
    const std::string key = SmbUrl::serverKey(place->server());
    HostResolver resolver;
    {
        std::lock_guard lock(m_settingsMutex);
        if (!m_resolver || !m_resolverAsked.insert(key).second)
            return rc;
        resolver = m_resolver;
    }
    const std::string before = hostAddress(place->server());
    const std::string address = resolver(place->server());
    // Nothing new (the same address, which has just failed): no second attempt.
    if (address.empty() || address == before || isAborted())
        return rc;
    setHostAddress(place->server(), address);
    return attempt();
}

void SmbClient::abort()
{
    m_abortEpoch.fetch_add(1, std::memory_order_acq_rel);
    m_aborted.store(true, std::memory_order_release);
    std::lock_guard lock(m_pidMutex);
    if (m_pid > 0) {
        // The blocked reader then sees the end of the pipe: only the helper holds its
        // write end.
        kill(m_pid, SIGKILL);
        m_killed = true;
    }
}

void SmbClient::reset() { m_aborted.store(false, std::memory_order_release); }

int SmbClient::failure(int error, std::uint64_t abortEpoch) const
{
    if (m_aborted.load(std::memory_order_acquire) || m_abortEpoch.load(std::memory_order_acquire) != abortEpoch)
        return ECANCELED;
    return error;
}

bool SmbClient::helperGone()
{
    std::lock_guard lock(m_pidMutex);
    if (m_pid <= 0)
        return true;
    if (m_killed)
        return true;
    int status = 0;
    const pid_t rc = waitpid(m_pid, &status, WNOHANG);
    if (rc == m_pid || (rc < 0 && errno == ECHILD)) {
        m_pid = 0;
        return true;
    }
    return false;
}

void SmbClient::discardHelper(bool graceful)
{
    if (m_toHelper >= 0) {
        close(m_toHelper); // end of input: a healthy helper ends by itself
        m_toHelper = -1;
    }
    if (graceful) {
        const auto deadline = std::chrono::steady_clock::now() + kGracefulExit;
        while (std::chrono::steady_clock::now() < deadline) {
            {
                std::lock_guard lock(m_pidMutex);
                if (m_pid <= 0)
                    break;
                int status = 0;
                const pid_t rc = waitpid(m_pid, &status, WNOHANG);
                if (rc == m_pid || (rc < 0 && errno == ECHILD)) {
                    m_pid = 0;
                    break;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    pid_t pid = 0;
    {
        std::lock_guard lock(m_pidMutex);
        pid = m_pid;
        if (pid > 0)
            kill(pid, SIGKILL);
        // From here abort() no longer sees the pid; the process is not reaped yet, so
        // the pid cannot have been reused while abort() could still see it.
        m_pid = 0;
        m_killed = false;
    }
    if (pid > 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (m_fromHelper >= 0) {
        close(m_fromHelper);
        m_fromHelper = -1;
    }
    m_sentSettings = 0;
}

int SmbClient::startHelper()
{
    HelperProcess::Pipes pipes;
    if (const int rc = HelperProcess::spawn(m_helperPath, pipes))
        // Out of descriptors is the machine's state; anything else keeps the helper
        // from starting at all.
        return rc == EMFILE || rc == ENFILE ? rc : helperFailed(std::strerror(rc));
    const pid_t pid = pipes.pid;
    m_toHelper = pipes.toHelper;
    m_fromHelper = pipes.fromHelper;
    ++m_generation;
    m_sentSettings = 0;
    {
        std::lock_guard lock(m_pidMutex);
        m_pid = pid;
        m_killed = false;
        // An abort() between the caller's check and here has not seen this pid.
        if (m_aborted.load(std::memory_order_acquire)) {
            kill(pid, SIGKILL);
            m_killed = true;
        }
    }

    SmbRequest hello;
    hello.kind = SmbMessageKind::Hello;
    hello.version = SmbProtocol::kVersion;
    SmbReply reply;
    bool delivered = false;
    const int helloRc = exchange(hello, reply, delivered);
    if (helloRc != 0 || reply.version != SmbProtocol::kVersion) {
        discardHelper(false);
        // A helper killed by abort() is no fault of the installation.
        if (m_aborted.load(std::memory_order_acquire))
            return ECANCELED;
        return helperFailed(helloRc != 0 ? "it ended without answering" : "it speaks another protocol version");
    }
    {
        std::lock_guard lock(m_faultMutex);
        m_helperFault.clear();
    }
    return 0;
}

int SmbClient::sendSettings()
{
    std::vector<SmbRequest> requests;
    std::uint64_t version = 0;
    {
        std::lock_guard lock(m_settingsMutex);
        version = m_settingsVersion;
        SmbRequest r;
        r.kind = SmbMessageKind::SetCredentials;
        r.credentials = m_defaultCredentials;
        requests.push_back(r);
        for (const auto& [server, credentials] : m_serverCredentials) {
            r.server = server;
            r.credentials = credentials;
            requests.push_back(r);
        }
        SmbRequest timeout;
        timeout.kind = SmbMessageKind::SetTimeout;
        timeout.value = static_cast<std::uint32_t>(std::max(m_timeoutMs, 0));
        requests.push_back(timeout);
        for (const auto& [name, address] : m_hostAddresses) {
            SmbRequest host;
            host.kind = SmbMessageKind::SetHostAddress;
            host.server = name;
            host.url = address;
            requests.push_back(host);
        }
    }
    for (const auto& r : requests) {
        SmbReply reply;
        bool delivered = false;
        if (const int rc = exchange(r, reply, delivered))
            return rc;
    }
    m_sentSettings = version;
    return 0;
}

int SmbClient::ensureHelper(std::uint64_t abortEpoch)
{
    if (m_toHelper >= 0 && helperGone())
        discardHelper(false); // died or was killed since the last request
    if (m_toHelper < 0) {
        if (const int rc = startHelper())
            return failure(rc, abortEpoch);
    }
    std::uint64_t current = 0;
    {
        std::lock_guard lock(m_settingsMutex);
        current = m_settingsVersion;
    }
    if (m_sentSettings != current) {
        if (const int rc = sendSettings())
            return failure(rc, abortEpoch);
    }
    return 0;
}

int SmbClient::exchange(const SmbRequest& request, SmbReply& reply, bool& delivered)
{
    delivered = false;
    if (m_toHelper < 0)
        return EPIPE;
    if (const int rc = HelperProcess::withoutSigpipe([&] { return SmbProtocol::writeAll(m_toHelper, SmbProtocol::encode(request)); })) {
        discardHelper(false);
        return rc;
    }
    delivered = true;
    std::string message;
    if (const int rc = SmbProtocol::readFrame(m_fromHelper, message)) {
        discardHelper(false);
        return rc == EMSGSIZE ? EPROTO : EPIPE;
    }
    if (!SmbProtocol::decode(message, reply) || reply.kind != request.kind) {
        discardHelper(false);
        return EPROTO;
    }
    return reply.error;
}

int SmbClient::request(const SmbRequest& request, SmbReply& reply)
{
    const std::uint64_t abortEpoch = m_abortEpoch.load(std::memory_order_acquire);
    if (m_aborted.load(std::memory_order_acquire))
        return ECANCELED;
    // A helper that died between two requests never saw this one: it is tried once
    // more with a new helper. One that dies after reading it costs only this request.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (const int rc = ensureHelper(abortEpoch))
            return rc;
        bool delivered = false;
        const int rc = exchange(request, reply, delivered);
        if (rc == 0)
            return 0;
        if (delivered || m_toHelper >= 0)
            return failure(rc, abortEpoch);
        if (failure(rc, abortEpoch) == ECANCELED)
            return ECANCELED;
    }
    return failure(EPIPE, abortEpoch);
}

int SmbClient::listNetwork(const std::string& url, std::vector<SmbNetEntry>& out)
{
    return listNetwork(url, SmbNameHint::Unknown, out);
}

int SmbClient::listNetwork(const SmbUrl& place, std::vector<SmbNetEntry>& out)
{
    const SmbNameHint hint = place.level() == SmbUrl::Level::Workgroup ? SmbNameHint::Workgroup
        : place.level() == SmbUrl::Level::Computer                     ? SmbNameHint::Computer
                                                                       : SmbNameHint::Unknown;
    return listNetwork(place.url(), hint, out);
}

int SmbClient::listNetwork(const std::string& url, SmbNameHint hint, std::vector<SmbNetEntry>& out)
{
    return withResolution(url, hint, [&] { return listNetworkOnce(url, hint, out); });
}

int SmbClient::listNetworkOnce(const std::string& url, SmbNameHint hint, std::vector<SmbNetEntry>& out)
{
    out.clear();
    SmbRequest r;
    r.kind = SmbMessageKind::ListNetwork;
    r.url = url;
    r.value = static_cast<std::uint32_t>(hint);
    SmbReply reply;
    std::lock_guard lock(m_mutex);
    const int rc = request(r, reply);
    if (rc == 0)
        out = std::move(reply.network);
    return rc;
}

int SmbClient::listFolder(const std::string& url, std::vector<FileEntry>& out)
{
    return withResolution(url, SmbNameHint::Computer, [&] { return listFolderOnce(url, out); });
}

int SmbClient::listFolderOnce(const std::string& url, std::vector<FileEntry>& out)
{
    out.clear();
    SmbRequest r;
    r.kind = SmbMessageKind::ListFolder;
    r.url = url;
    SmbReply reply;
    std::lock_guard lock(m_mutex);
    const int rc = request(r, reply);
    if (rc == 0)
        out = std::move(reply.folder);
    return rc;
}

int SmbClient::openFile(const std::string& url, int& handle)
{
    return withResolution(url, SmbNameHint::Computer, [&] { return openFileOnce(url, handle); });
}

int SmbClient::openFileOnce(const std::string& url, int& handle)
{
    handle = -1;
    SmbRequest r;
    r.kind = SmbMessageKind::OpenFile;
    r.url = url;
    SmbReply reply;
    std::lock_guard lock(m_mutex);
    const int rc = request(r, reply);
    if (rc != 0)
        return rc;
    while (m_nextHandle <= 0 || m_files.count(m_nextHandle))
        m_nextHandle = m_nextHandle <= 0 ? 1 : m_nextHandle + 1;
    handle = m_nextHandle++;
    OpenFile file;
    file.generation = m_generation;
    file.remote = reply.handle;
    m_files.emplace(handle, std::move(file));
    return 0;
}

std::int64_t SmbClient::read(int handle, char* buffer, std::size_t capacity)
{
    std::lock_guard lock(m_mutex);
    if (m_aborted.load(std::memory_order_acquire))
        return -1;
    const auto it = m_files.find(handle);
    if (it == m_files.end())
        return -1;
    OpenFile& file = it->second;
    if (capacity == 0)
        return 0;
    if (file.position >= file.buffer.size()) {
        if (file.atEnd)
            return 0;
        // The helper that opened it is gone: its handle means nothing to a new one.
        if (file.generation != m_generation || m_toHelper < 0)
            return -1;
        SmbRequest r;
        r.kind = SmbMessageKind::ReadChunk;
        r.handle = file.remote;
        r.value = static_cast<std::uint32_t>(std::clamp<std::size_t>(capacity, kChunk, SmbProtocol::kMaxChunk));
        SmbReply reply;
        bool delivered = false;
        if (exchange(r, reply, delivered) != 0)
            return -1;
        file.buffer = std::move(reply.data);
        file.position = 0;
        if (file.buffer.empty()) {
            file.atEnd = true;
            return 0;
        }
    }
    const std::size_t n = std::min(capacity, file.buffer.size() - file.position);
    std::memcpy(buffer, file.buffer.data() + file.position, n);
    file.position += n;
    return static_cast<std::int64_t>(n);
}

void SmbClient::closeFile(int handle)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_files.find(handle);
    if (it == m_files.end())
        return;
    const OpenFile file = std::move(it->second);
    m_files.erase(it);
    if (file.generation != m_generation || m_toHelper < 0 || m_aborted.load(std::memory_order_acquire))
        return;
    SmbRequest r;
    r.kind = SmbMessageKind::CloseFile;
    r.handle = file.remote;
    SmbReply reply;
    bool delivered = false;
    exchange(r, reply, delivered);
}

} // namespace qv
