#include "platform/LocalFileSystem.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

class LocalFolderListing final : public FolderListing {
public:
    LocalFolderListing(std::string folderPath, int dirFd)
        : m_folderPath(std::move(folderPath)), m_dirFd(dirFd) {}
    ~LocalFolderListing() override { release(); }
    LocalFolderListing(const LocalFolderListing&) = delete;
    LocalFolderListing& operator=(const LocalFolderListing&) = delete;

    // Opens the folder: by its path, or by name under an open parent folder.
    static std::unique_ptr<LocalFolderListing> open(int parentFd, const char* path, std::string folderPath)
    {
        const int fd = openat(parentFd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (parentFd == AT_FDCWD ? 0 : O_NOFOLLOW));
        if (fd < 0)
            return nullptr;
        auto listing = std::make_unique<LocalFolderListing>(std::move(folderPath), fd);
        if (!listing->read())
            return nullptr;
        return listing;
    }

    bool loadDetails(FileEntry& entry) override
    {
        if (entry.hasDetails)
            return true;
        if (m_dirFd >= 0)
            return statEntry(m_dirFd, entry.name.c_str(), entry);
        const std::string full = m_folderPath + "/" + entry.name;
        return statEntry(AT_FDCWD, full.c_str(), entry);
    }

    int handle() const { return m_dirFd; }

    void release() override
    {
        if (m_dirFd >= 0) {
            close(m_dirFd);
            m_dirFd = -1;
        }
    }

private:
    // Reads the entries with getdents64 straight into one buffer per thread:
    // opendir would add three system calls per folder for nothing.
    bool read()
    {
        thread_local std::vector<char> buffer(64 * 1024);
        for (;;) {
            const ssize_t n = getdents64(m_dirFd, buffer.data(), buffer.size());
            if (n == 0)
                return true;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
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
                if (!classify(d->d_type, entry))
                    continue; // vanished between the listing and the look
                m_entries.push_back(std::move(entry));
            }
        }
    }

    // Whether the entry is a folder, from the listing's type where it gives one.
    bool classify(unsigned char type, FileEntry& entry)
    {
        switch (type) {
        case DT_DIR:
            entry.isFolder = true;
            return true;
        case DT_LNK:
            // What the link names decides its row; it is never entered.
            entry.isLink = true;
            return statEntry(m_dirFd, entry.name.c_str(), entry);
        case DT_UNKNOWN:
            return statEntry(m_dirFd, entry.name.c_str(), entry);
        case DT_REG:
            return true;
        default:
            entry.isSpecial = true;
            return true;
        }
    }

    std::string m_folderPath;
    int m_dirFd;
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

std::unique_ptr<FolderListing> LocalFileSystem::list(const std::string& folderPath)
{
    const std::string path = folderPath.empty() ? std::string("/") : folderPath;
    return LocalFolderListing::open(AT_FDCWD, path.c_str(), path);
}

std::unique_ptr<FolderListing> LocalFileSystem::listSubFolder(FolderListing& parent, const std::string& name,
                                                              const std::string& folderPath)
{
    const auto* local = dynamic_cast<LocalFolderListing*>(&parent);
    if (!local || local->handle() < 0)
        return list(folderPath);
    // Opening by name under the parent's handle spares the kernel the whole path.
    return LocalFolderListing::open(local->handle(), name.c_str(), folderPath);
}

std::unique_ptr<FileReader> LocalFileSystem::openEntry(FolderListing& folder, const FileEntry& entry,
                                                       const std::string& filePath)
{
    const auto* local = dynamic_cast<LocalFolderListing*>(&folder);
    if (entry.isSpecial || entry.isFolder)
        return nullptr;
    if (!local || local->handle() < 0)
        return openForReading(filePath);
    // The listing already told a regular file (or a link to one) from a pipe or
    // device; non-blocking all the same, in case it was replaced since.
    const int fd = openat(local->handle(), entry.name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    return std::make_unique<LocalFileReader>(fd);
}

std::unique_ptr<FileReader> LocalFileSystem::openForReading(const std::string& filePath)
{
    // Non-blocking so that a named pipe cannot hold the walk; only regular files are read.
    const int fd = open(filePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
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
