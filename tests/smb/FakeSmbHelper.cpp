// A stand-in for qv-smb that speaks the same protocol without libsmbclient, for
// testing SmbClient and SmbFileSystem without a server. A share URL names a local
// folder: smb://LOCAL/tmp/x/y is /tmp/x/y. Computer names script misbehaviour:
//   smb://SETTINGS   lists the credentials and timeout it was sent, one entry each
//   smb://PID        lists its process id
//   smb://HINT       lists the name hint it was sent
//   smb://HANG       never answers
//   smb://CRASH      dies without answering
//   smb://CLOSEIN    closes its input, answers, and stays alive
//   smb://IGNOREEOF  answers, and from then on outlives the end of its input
//   smb://GARBAGE    answers with bytes that are no message
#include "platform/SmbProtocol.h"
#include "platform/SmbUrl.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv;

namespace {

bool g_ignoreEof = false;
bool g_closedInput = false;
std::map<std::string, SmbCredentials> g_credentials;
std::map<std::string, std::string> g_addresses; // computer name -> address
std::uint32_t g_timeout = 0;
std::map<std::uint32_t, int> g_files;
std::uint32_t g_nextHandle = 1;

std::string localPath(const SmbUrl& url)
{
    std::string path = "/" + url.share();
    for (const auto& part : url.path())
        path += "/" + part;
    return path;
}

// Stands still, but ends once the client is gone, so that a test process that dies
// leaves no helper behind.
void sleepForever()
{
    const pid_t parent = getppid();
    while (getppid() == parent)
        usleep(50 * 1000);
    _exit(0);
}

int listFolder(const SmbUrl& url, std::vector<FileEntry>& out)
{
    const std::string path = localPath(url);
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return errno;
    while (const dirent* d = readdir(dir)) {
        const std::string name = d->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (lstat((path + "/" + name).c_str(), &st) != 0)
            continue;
        FileEntry entry;
        entry.name = name;
        entry.isFolder = S_ISDIR(st.st_mode);
        entry.hasDetails = true;
        entry.size = entry.isFolder ? 0 : st.st_size;
        entry.created = -1;
        entry.written = st.st_mtime;
        entry.accessed = st.st_atime;
        out.push_back(entry);
    }
    closedir(dir);
    return 0;
}

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

SmbReply serve(const SmbRequest& request, int out)
{
    SmbReply reply;
    reply.kind = request.kind;
    switch (request.kind) {
    case SmbMessageKind::Hello:
        reply.version = SmbProtocol::kVersion;
        reply.error = request.version == SmbProtocol::kVersion ? 0 : EPROTONOSUPPORT;
        break;
    case SmbMessageKind::SetCredentials:
        g_credentials[request.server] = request.credentials;
        break;
    case SmbMessageKind::SetTimeout:
        g_timeout = request.value;
        break;
    case SmbMessageKind::ListNetwork: {
        const auto url = SmbUrl::fromUrl(request.url);
        if (!url) {
            reply.error = EINVAL;
            break;
        }
        const std::string& server = url->server();
        if (server == "HANG") {
            sleepForever();
        } else if (server == "CRASH") {
            _exit(3);
        } else if (server == "CLOSEIN") {
            close(STDIN_FILENO);
            g_closedInput = true;
        } else if (server == "IGNOREEOF") {
            g_ignoreEof = true;
        } else if (server == "GARBAGE") {
            SmbProtocol::writeAll(out, std::string("\x03\x00\x00\x00\x7f\x7f\x7f", 7));
            sleepForever();
        } else if (server == "HINT") {
            reply.network.push_back({std::to_string(request.value), SmbNetEntry::Kind::Other});
        } else if (server == "PID") {
            reply.network.push_back({std::to_string(getpid()), SmbNetEntry::Kind::Other});
        } else if (server == "SETTINGS") {
            for (const auto& [name, c] : g_credentials) {
                reply.network.push_back({"credentials " + (name.empty() ? std::string("*") : name) + " " + c.user + " "
                                             + c.password + " " + c.domain + (c.kerberos ? " kerberos" : ""),
                                         SmbNetEntry::Kind::Other});
            }
            reply.network.push_back({"timeout " + std::to_string(g_timeout), SmbNetEntry::Kind::Other});
            for (const auto& [name, address] : g_addresses)
                reply.network.push_back({"address " + name + " " + address, SmbNetEntry::Kind::Other});
        } else if (url->level() == SmbUrl::Level::Computer && g_addresses.count(lowerAscii(server))) {
            // A computer only discovery knows: reachable once its address was given.
            reply.network.push_back({"share-via-" + g_addresses[lowerAscii(server)], SmbNetEntry::Kind::FileShare});
        } else if (url->level() == SmbUrl::Level::Network) {
            reply.network = {{"QVGROUP1", SmbNetEntry::Kind::Workgroup}, {"QVGROUP2", SmbNetEntry::Kind::Workgroup}};
        } else {
            reply.error = ENOENT;
        }
        break;
    }
    case SmbMessageKind::ListFolder: {
        const auto url = SmbUrl::fromUrl(request.url);
        if (!url || (url->level() != SmbUrl::Level::Share && url->level() != SmbUrl::Level::Folder))
            reply.error = url ? ENOTDIR : EINVAL;
        else
            reply.error = listFolder(*url, reply.folder);
        break;
    }
    case SmbMessageKind::OpenFile: {
        const auto url = SmbUrl::fromUrl(request.url);
        if (!url || url->level() != SmbUrl::Level::Folder) {
            reply.error = EINVAL;
            break;
        }
        const int fd = open(localPath(*url).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            reply.error = errno;
            break;
        }
        reply.handle = g_nextHandle++;
        g_files[reply.handle] = fd;
        break;
    }
    case SmbMessageKind::ReadChunk: {
        const auto it = g_files.find(request.handle);
        if (it == g_files.end()) {
            reply.error = EBADF;
            break;
        }
        reply.data.resize(request.value);
        const ssize_t n = read(it->second, reply.data.data(), reply.data.size());
        if (n < 0) {
            reply.error = errno;
            reply.data.clear();
        } else {
            reply.data.resize(static_cast<std::size_t>(n));
        }
        break;
    }
    case SmbMessageKind::SetHostAddress:
        if (request.url.empty())
            g_addresses.erase(request.server);
        else
            g_addresses[request.server] = request.url;
        break;
    case SmbMessageKind::CloseFile: {
        const auto it = g_files.find(request.handle);
        if (it == g_files.end()) {
            reply.error = EBADF;
            break;
        }
        close(it->second);
        g_files.erase(it);
        break;
    }
    }
    return reply;
}

} // namespace

int main()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::string message;
    for (;;) {
        const int rc = SmbProtocol::readFrame(STDIN_FILENO, message);
        if (rc != 0) {
            if (g_ignoreEof)
                sleepForever();
            return rc == EPIPE ? 0 : 1;
        }
        SmbRequest request;
        if (!SmbProtocol::decode(message, request))
            return 1;
        if (SmbProtocol::writeAll(STDOUT_FILENO, SmbProtocol::encode(serve(request, STDOUT_FILENO))) != 0)
            return 0;
        if (g_closedInput)
            sleepForever(); // alive with its input closed: the client's next write fails
    }
}
