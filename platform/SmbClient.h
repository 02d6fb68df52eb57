// The client side of one qv-smb helper process: starts it on the first request,
// talks to it over two pipes, restarts it after it died, and kills it on abort().
#pragma once

#include "platform/FileEntry.h"
#include "platform/SmbProtocol.h"
#include "platform/SmbUrl.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qv {

class SmbClient final {
public:
    // The helper is looked up as findHelper() says.
    SmbClient();
    explicit SmbClient(std::string helperPath);
    // Closes the helper's input, gives it a moment to end, kills it if it does not.
    ~SmbClient();
    SmbClient(const SmbClient&) = delete;
    SmbClient& operator=(const SmbClient&) = delete;

    // Kept here and sent to every helper this client starts; they never block on a
    // request in progress.
    void setDefaultCredentials(const SmbCredentials& credentials);
    void setServerCredentials(const std::string& server, const SmbCredentials& credentials);
    void setTimeoutMs(int ms);
    // Where a computer that name resolution cannot find answers (an IP address, as a
    // discovery source saw it); "" forgets it. Names compare without ASCII case. Kept
    // and sent like the credentials.
    void setHostAddress(const std::string& name, const std::string& address);
    std::string hostAddress(const std::string& name) const;

    // Asked, from the requesting thread and outside every lock of this client, when a
    // request to a computer by its name fails as if the name did not resolve or the
    // address no longer answered: it may find the computer (a bounded discovery round)
    // and give its address; when that is new, the request is made once more. Each
    // name is asked about once.
    using HostResolver = std::function<std::string(const std::string& name)>;
    void setHostResolver(HostResolver resolver);

    // Each returns 0 or an errno value: ENOENT, EACCES, ETIMEDOUT, EHOSTUNREACH,
    // ECONNREFUSED... from the server; EPIPE when the helper died serving the request;
    // ECANCELED after abort(); ENOPKG when no helper could be started (missing, not
    // executable, or no helper of this protocol version): helperFault() says why.
    // Requests from several threads are served one at a time.
    //
    // smb:// (workgroups), smb://WG (computers), smb://HOST (shares).
    int listNetwork(const std::string& url, std::vector<SmbNetEntry>& out);
    // The same for a place whose level is known: a computer's share list then skips
    // libsmbclient's check whether the name is a workgroup (about half a second of
    // broadcast name queries per computer).
    int listNetwork(const SmbUrl& place, std::vector<SmbNetEntry>& out);
    // A share or folder: every entry but "." and "..", with hasDetails set, size and the
    // three times in seconds (-1 where the server keeps none).
    int listFolder(const std::string& url, std::vector<FileEntry>& out);
    int openFile(const std::string& url, int& handle);
    // Bytes read; 0 at the end, -1 on an error, after abort(), or when the helper that
    // opened the file has died since.
    std::int64_t read(int handle, char* buffer, std::size_t capacity);
    void closeFile(int handle);

    // From any thread: kills the helper at once; the request in progress and every
    // later one fail with ECANCELED until reset().
    void abort();
    void reset();
    bool isAborted() const { return m_aborted.load(std::memory_order_acquire); }

    // QV_SMB_HELPER when set; otherwise findHelperFrom the running executable.
    static std::string findHelper();
    // The first executable qv-smb beside the executable, where the installed layout
    // keeps it relative to the program's bin folder (../libexec/quendle), or in
    // ../platform and ../../platform from it (the build tree, for programs and tests).
    static std::string findHelperFrom(const std::string& executablePath);
    const std::string& helperPath() const { return m_helperPath; }
    // Why the last helper could not be started, naming its path, as one line; empty
    // while the last start worked.
    std::string helperFault() const;
    // The running helper's process id, 0 when none runs (for tests and diagnostics).
    pid_t helperPid() const;

private:
    struct OpenFile {
        std::uint64_t generation = 0; // the helper that opened it
        std::uint32_t remote = 0;     // its handle in that helper
        std::string buffer;           // the last chunk read, served from `position` on
        std::size_t position = 0;
        bool atEnd = false;
    };

    int listNetwork(const std::string& url, SmbNameHint hint, std::vector<SmbNetEntry>& out);
    int listNetworkOnce(const std::string& url, SmbNameHint hint, std::vector<SmbNetEntry>& out);
    int listFolderOnce(const std::string& url, std::vector<FileEntry>& out);
    int openFileOnce(const std::string& url, int& handle);
    // Runs `attempt`; when it fails for a computer whose name may be found elsewhere,
    // asks the resolver and, given an address, runs it once more.
    int withResolution(const std::string& url, SmbNameHint hint, const std::function<int()>& attempt);

    // The calls below need m_mutex held.
    int request(const SmbRequest& request, SmbReply& reply);
    int ensureHelper(std::uint64_t abortEpoch);
    int startHelper();
    // Notes why the helper could not be started; gives ENOPKG.
    int helperFailed(const std::string& why);
    int sendSettings();
    // One request and its reply; `delivered` says whether the helper got the request.
    int exchange(const SmbRequest& request, SmbReply& reply, bool& delivered);
    bool helperGone();
    void discardHelper(bool graceful);
    int failure(int error, std::uint64_t abortEpoch) const;

    const std::string m_helperPath;

    std::mutex m_mutex; // one request at a time; guards the fields down to m_pidMutex
    int m_toHelper = -1;
    int m_fromHelper = -1;
    std::uint64_t m_generation = 0;   // counts helpers started
    std::uint64_t m_sentSettings = 0; // the settings version the running helper has
    std::map<int, OpenFile> m_files;
    int m_nextHandle = 1;

    mutable std::mutex m_faultMutex;
    std::string m_helperFault;

    mutable std::mutex m_settingsMutex;
    SmbCredentials m_defaultCredentials;
    std::map<std::string, SmbCredentials> m_serverCredentials;
    int m_timeoutMs = 5000;
    std::map<std::string, std::string> m_hostAddresses; // key: name in ASCII lower case
    std::uint64_t m_settingsVersion = 1;
    HostResolver m_resolver;
    std::set<std::string> m_resolverAsked; // names (ASCII lower case)

    // The pid is only ever read for kill() and waitpid() under this lock, and is
    // cleared in the same locked step that reaps the process: a pid abort() sees is
    // never one the system could have given to another process.
    mutable std::mutex m_pidMutex;
    pid_t m_pid = 0;
    bool m_killed = false; // killed by abort(); the next request starts a new helper

    std::atomic<bool> m_aborted{false};
    std::atomic<std::uint64_t> m_abortEpoch{0}; // counts abort() calls
};

} // namespace qv
