// The location tree's listings over the enumeration discipline and the file system.
#include "network/LocationSource.h"

#include "network/EnumerationLoop.h"
#include "platform/FileSystem.h"

#include <cerrno>

namespace qv {

LocationSource::LocationSource(std::shared_ptr<NetworkEnumerator> enumerator, std::shared_ptr<FileSystem> files)
    : m_enumerator(std::move(enumerator)), m_files(std::move(files))
{
}

LocationSource::~LocationSource() = default;

bool LocationSource::listProviders(std::vector<NetResource>& providers)
{
    providers.clear();
    if (!m_enumerator)
        return false;
    const EnumOutcome outcome = EnumerationLoop::run(*m_enumerator, EnumContainer::root(), {},
                                                     [&](const NetResource& entry) {
                                                         providers.push_back(entry);
                                                         return true;
                                                     });
    return outcome != EnumOutcome::OpenFailed;
}

void LocationSource::listWorkgroups(const NetResource& provider, std::vector<std::string>& workgroups)
{
    workgroups.clear();
    if (!m_enumerator)
        return;
    EnumerationLoop::run(*m_enumerator, EnumContainer::ofEntry(provider), {}, [&](const NetResource& entry) {
        workgroups.push_back(entry.remoteName);
        return true;
    });
}

int LocationSource::listContainer(const std::string& name, std::vector<NetResource>& children)
{
    children.clear();
    if (!m_enumerator)
        return ENOENT;
    EnumerationUser user;
    user.kind = EnumKind::DynamicEnum;
    user.retryOnMoreData = true;
    const EnumOutcome outcome = EnumerationLoop::run(*m_enumerator, EnumContainer::named(name), user,
                                                     [&](const NetResource& entry) {
                                                         children.push_back(entry);
                                                         return true;
                                                     });
    if (outcome == EnumOutcome::OpenFailed) {
        const int error = containerError();
        return error != 0 ? error : ENOENT;
    }
    return 0;
}

int LocationSource::listFolders(const std::string& path, std::vector<std::string>& folders)
{
    folders.clear();
    if (!m_files)
        return ENOENT;
    const std::unique_ptr<FolderListing> listing = m_files->list(path);
    if (!listing) {
        const int error = folderError();
        return error != 0 ? error : ENOENT;
    }
    for (const FileEntry& entry : listing->entries())
        if (entry.isFolder && entry.name != "." && entry.name != "..")
            folders.push_back(entry.name);
    return 0;
}

void LocationSource::setServerCredentials(const std::string& server, const SmbCredentials& credentials)
{
    (void)server;
    (void)credentials;
}

void LocationSource::abort() {}

int LocationSource::containerError() const { return ENOENT; }

int LocationSource::folderError() const { return ENOENT; }

} // namespace qv
