#include "platform/LocalFileSystem.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace qv {
namespace {

std::int64_t seconds(const struct statx_timestamp& ts) { return static_cast<std::int64_t>(ts.tv_sec); }

void fillFromStatx(FileEntry& entry, const struct statx& st)
{
    entry.size = static_cast<std::int64_t>(st.stx_size);
    entry.written = (st.stx_mask & STATX_MTIME) ? seconds(st.stx_mtime) : -1;
    entry.accessed = (st.stx_mask & STATX_ATIME) ? seconds(st.stx_atime) : -1;
    entry.created = (st.stx_mask & STATX_BTIME) ? seconds(st.stx_btime) : -1;
    entry.hasDetails = true;
}

constexpr unsigned kStatxMask = STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME;

// Size and times of the entry; a link is followed to what it names, and a
// dangling one describes the link itself.
bool statEntry(int dirFd, const char* name, FileEntry& entry)
{
    struct statx st {};
    const int followFlags = entry.isLink ? 0 : AT_SYMLINK_NOFOLLOW;
    if (statx(dirFd, name, followFlags | AT_STATX_SYNC_AS_STAT, kStatxMask, &st) != 0) {
        if (!entry.isLink || statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, kStatxMask, &st) != 0)
            return false;
    }
    fillFromStatx(entry, st);
    if (st.stx_mask & STATX_TYPE) {
        entry.isFolder = S_ISDIR(st.stx_mode);
        entry.isSpecial = !entry.isFolder && !S_ISREG(st.stx_mode) && !S_ISLNK(st.stx_mode);
    }
    return true;
}

// Opens a file for reading, non-blocking so that a named pipe cannot hold the walk.
// The search leaves the file's access time alone where the system lets it: O_NOATIME
// is for the file's owner (and root) only.
int openToRead(int dirFd, const char* path)
{
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    const int fd = openat(dirFd, path, kFlags | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        return openat(dirFd, path, kFlags);
    return fd;
}

// An open folder, closed when the last listing that reaches through it goes.
class FolderHandle final {
public:
    explicit FolderHandle(int fd) : m_fd(fd) {}
    ~FolderHandle() { close(m_fd); }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    int fd() const { return m_fd; }

private:
    const int m_fd;
};

// A listed folder. While it holds its own descriptor, its entries and sub-folders are
// reached through it; after release() through a base, an ancestor still held open,
// by the path from there. That path stays short (kLongestReach): a folder that would
// be further from its base becomes a base itself and keeps its descriptor. So a deep
// tree holds one descriptor per 2 KiB of path, not one per level, and no call ever
// gets a path longer than the kernel takes.
class LocalFolderListing final : public FolderListing {
public:
    // Opens the folder at `fromBase` under the base (under the current directory when
    // there is none); false with the errno value when it cannot be opened or read.
    static std::unique_ptr<LocalFolderListing> open(std::shared_ptr<FolderHandle> base, std::string fromBase,
                                                    int& error)
    {
        // Under a folder, a name that is a link is never followed: the walk does not
        // go through links.
        const int fd = openat(base ? base->fd() : AT_FDCWD, fromBase.c_str(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC | (base ? O_NOFOLLOW : 0));
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        std::unique_ptr<LocalFolderListing> listing(
            new LocalFolderListing(std::make_shared<FolderHandle>(fd), std::move(base), std::move(fromBase)));
        if (!listing->m_base || listing->m_fromBase.size() >= LocalFileSystem::kLongestReach) {
            listing->m_base = listing->m_handle;
            listing->m_fromBase.clear();
        }
        if (!listing->read(error))
            return nullptr;
        return listing;
    }

    std::unique_ptr<LocalFolderListing> openChild(const std::string& name, int& error) const
    {
        if (m_handle)
            return open(m_handle, name, error);
        return open(m_base, reach(name), error);
    }

    bool loadDetails(FileEntry& entry) override
    {
        if (entry.hasDetails)
            return true;
        if (m_handle)
            return statEntry(m_handle->fd(), entry.name.c_str(), entry);
        return statEntry(m_base->fd(), reach(entry.name).c_str(), entry);
    }

    // Opens an entry for reading: the listing said it is a regular file (or a link to
    // one); non-blocking all the same, in case it was replaced by a pipe since.
    int openEntry(const std::string& name) const
    {
        if (m_handle)
            return openToRead(m_handle->fd(), name.c_str());
        return openToRead(m_base->fd(), reach(name).c_str());
    }

    void release() override { m_handle.reset(); }

private:
    LocalFolderListing(std::shared_ptr<FolderHandle> handle, std::shared_ptr<FolderHandle> base, std::string fromBase)
        : m_handle(std::move(handle)), m_base(std::move(base)), m_fromBase(std::move(fromBase))
    {
    }

    // The path of a name of this folder from its base.
    std::string reach(const std::string& name) const
    {
        return m_fromBase.empty() ? name : m_fromBase + "/" + name;
    }

    // Reads the entries with getdents64 straight into one buffer per thread:
    // opendir would add three system calls per folder for nothing.
    bool read(int& error)
    {
        thread_local std::vector<char> buffer(64 * 1024);
        const int dirFd = m_handle->fd();
        for (;;) {
            const ssize_t n = getdents64(dirFd, buffer.data(), buffer.size());
            if (n == 0)
                return true;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                return false;
            }
            for (ssize_t pos = 0; pos < n;) {
                const auto* d = reinterpret_cast<const struct dirent64*>(buffer.data() + pos);
                pos += d->d_reclen;
                const char* name = d->d_name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                FileEntry entry;
                entry.name = name;
                if (!classify(dirFd, d->d_type, entry))
                    continue; // vanished between the listing and the look
                m_entries.push_back(std::move(entry));
            }
        }
    }

    // Whether the entry is a folder, from the listing's type where it gives one.
    static bool classify(int dirFd, unsigned char type, FileEntry& entry)
    {
        switch (type) {
        case DT_DIR:
            entry.isFolder = true;
            return true;
        case DT_LNK:
            // What the link names decides its row; it is never entered.
            entry.isLink = true;
            return statEntry(dirFd, entry.name.c_str(), entry);
        case DT_UNKNOWN:
            return statEntry(dirFd, entry.name.c_str(), entry);
        case DT_REG:
            return true;
        default:
            entry.isSpecial = true;
            return true;
        }
    }

    std::shared_ptr<FolderHandle> m_handle; // this folder, until release()
    std::shared_ptr<FolderHandle> m_base;   // this folder or an ancestor, open as long as the listing lives
    std::string m_fromBase;                 // this folder's path from the base; empty: the base itself
};

class LocalFileReader final : public FileReader {
public:
    explicit LocalFileReader(int fd) : m_fd(fd) {}
    ~LocalFileReader() override { close(m_fd); }
    LocalFileReader(const LocalFileReader&) = delete;
    LocalFileReader& operator=(const LocalFileReader&) = delete;

    std::int64_t read(char* buffer, std::size_t capacity) override
    {
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, capacity);
            if (n < 0 && errno == EINTR)
                continue;
            return n;
        }
    }

private:
    int m_fd;
};

} // namespace

std::unique_ptr<FolderListing> LocalFileSystem::list(const std::string& folderPath, int& error)
{
    return LocalFolderListing::open(nullptr, folderPath.empty() ? std::string("/") : folderPath, error);
}

std::unique_ptr<FolderListing> LocalFileSystem::listSubFolder(FolderListing& parent, const std::string& name,
                                                              const std::string& folderPath, int& error)
{
    if (const auto* local = dynamic_cast<const LocalFolderListing*>(&parent))
        return local->openChild(name, error);
    return list(folderPath, error);
}

std::unique_ptr<FileReader> LocalFileSystem::openEntry(FolderListing& folder, const FileEntry& entry,
                                                       const std::string& filePath)
{
    if (entry.isSpecial || entry.isFolder)
        return nullptr;
    const auto* local = dynamic_cast<const LocalFolderListing*>(&folder);
    if (!local)
        return openForReading(filePath);
    const int fd = local->openEntry(entry.name);
    if (fd < 0)
        return nullptr;
    return std::make_unique<LocalFileReader>(fd);
}

std::unique_ptr<FileReader> LocalFileSystem::openForReading(const std::string& filePath)
{
    // Only regular files are read.
    const int fd = openToRead(AT_FDCWD, filePath.c_str());
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::make_unique<LocalFileReader>(fd);
}

} // namespace qv
