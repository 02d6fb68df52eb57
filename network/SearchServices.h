// What a search needs besides its criteria: the file systems, the network, the file
// types. The window makes the real ones with makeDefault(), qvsearch with
// forCommandLine(); tests fill in scripted ones.
#pragma once

#include <functional>
#include <memory>

namespace qv {

class ComputerListCache;
class CredentialStore;
class FileSystem;
class FileTypeInfo;
class NetworkDirectory;
class NetworkEnumerator;
class SmbClient;
struct SmbCredentials;

class SearchServices final {
public:
    std::shared_ptr<FileSystem> localFiles;          // local folder places
    std::shared_ptr<FileSystem> networkFiles;        // "\\HOST\share\..." folders; may be null
    std::shared_ptr<NetworkEnumerator> enumerator;   // workgroups, computers, shares; may be null
    std::shared_ptr<FileTypeInfo> fileTypes;
    // The SMB helper the network services above talk through, when they do: Stop
    // aborts it so that no call to a silent server delays the stop, and the next
    // search starts it afresh. Null for scripted services.
    std::shared_ptr<SmbClient> smb;
    // The computers discovery found, with their addresses; null for scripted services.
    std::shared_ptr<NetworkDirectory> directory;
    // Another helper like `smb` (same accounts, same directory), for a walk that
    // searches several computers at once; empty for scripted services.
    std::function<std::shared_ptr<SmbClient>()> newSmbClient;
    // Computers a network-wide search walks at the same time (1: one after the other).
    int jobs = kDefaultJobs;
    static constexpr int kDefaultJobs = 4;
    // The computers the last network walk went to, for the next one to start with;
    // null for scripted services.
    std::shared_ptr<const ComputerListCache> lastComputers;

    // Local POSIX files, one SMB helper for the searches (enumeration and files)
    // and the shared MIME database in Japanese. The helper logs on with the accounts
    // of the credential store (by default the program's, which the location tree
    // fills when the user logs on to a server), and shares the window's directory.
    static std::shared_ptr<SearchServices> makeDefault();
    static std::shared_ptr<SearchServices> makeDefault(const std::shared_ptr<CredentialStore>& credentials);

    // The same for one run of qvsearch: one account for every server, and a directory
    // of its own (discovery starts with the first list that needs it).
    static std::shared_ptr<SearchServices> forCommandLine(const SmbCredentials& credentials);
};

} // namespace qv
