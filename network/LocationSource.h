// What the location tree lists, one level at a time: the network's providers, their
// workgroups and domains, a container's children and a folder's sub-folders. Every
// call but abort() comes from the tree's own worker thread, one at a time.
#pragma once

#include "network/NetworkEnumerator.h"
#include "platform/SmbProtocol.h"

#include <memory>
#include <string>
#include <vector>

namespace qv {

class FileSystem;

class LocationSource {
public:
    // Containers through the enumerator, shares and folders through the file system.
    LocationSource(std::shared_ptr<NetworkEnumerator> enumerator, std::shared_ptr<FileSystem> files);
    virtual ~LocationSource();
    LocationSource(const LocationSource&) = delete;
    LocationSource& operator=(const LocationSource&) = delete;

    // The entries of the network root, in delivery order; false when the root cannot
    // be opened (no network).
    virtual bool listProviders(std::vector<NetResource>& providers);
    // A provider's workgroups and domains, in delivery order; what arrived before an
    // error is kept.
    virtual void listWorkgroups(const NetResource& provider, std::vector<std::string>& workgroups);
    // The children of a container opened by its name ("WG", "\\HOST"), as delivered:
    // 0, EACCES when the server refused the account, another errno value when the
    // container cannot be opened. What arrived before an error counts as the list.
    virtual int listContainer(const std::string& name, std::vector<NetResource>& children);
    // The names of the sub-folders of a share or folder ("\\HOST\share\a"): hidden ones
    // too, never "." or "..". 0, EACCES or another errno value, as above.
    virtual int listFolders(const std::string& path, std::vector<std::string>& folders);

    // The account for one server from now on (an empty user is the anonymous one).
    virtual void setServerCredentials(const std::string& server, const SmbCredentials& credentials);
    // From any thread: a listing in progress gives up at once, and so does every later one.
    virtual void abort();

protected:
    // Why the last open of a container or listing of a folder failed; ENOENT when the
    // backend cannot tell.
    virtual int containerError() const;
    virtual int folderError() const;

private:
    std::shared_ptr<NetworkEnumerator> m_enumerator;
    std::shared_ptr<FileSystem> m_files;
};

} // namespace qv
