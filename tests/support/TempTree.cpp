#include "tests/support/TempTree.h"

#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace qv::test {
namespace {

// Removes a tree of any depth, folders a test made unreadable included: every step is
// relative to its parent's descriptor, so no path grows past what the kernel takes.
void removeTree(int parentFd, const char* name)
{
    struct stat st {};
    if (fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (!S_ISDIR(st.st_mode)) {
        unlinkat(parentFd, name, 0);
        return;
    }
    fchmodat(parentFd, name, 0700, 0);
    const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        if (DIR* dir = fdopendir(fd)) {
            std::vector<std::string> names;
            while (const dirent* d = readdir(dir)) {
                const std::string entry = d->d_name;
                if (entry != "." && entry != "..")
                    names.push_back(entry);
            }
            for (const std::string& entry : names)
                removeTree(dirfd(dir), entry.c_str());
            closedir(dir);
        } else {
            close(fd);
        }
    }
    unlinkat(parentFd, name, AT_REMOVEDIR);
}

} // namespace

TempTree::TempTree(std::initializer_list<TreeItem> items)
{
    std::string pattern = (fs::temp_directory_path() / "qvtest-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_root = pattern;
    for (const TreeItem& item : items)
        add(item);
}

TempTree::~TempTree()
{
    removeTree(AT_FDCWD, m_root.c_str());
}

void TempTree::add(const TreeItem& item)
{
    const fs::path full = fs::path(m_root) / item.path;
    if (!item.path.empty() && item.path.back() == '/') {
        fs::create_directories(full);
    } else {
        fs::create_directories(full.parent_path());
        std::ofstream out(full, std::ios::binary);
        out.write(item.content.data(), static_cast<std::streamsize>(item.content.size()));
    }
    if (item.modified >= 0) {
        const struct timespec times[2] = {{item.modified, 0}, {item.modified, 0}};
        utimensat(AT_FDCWD, full.c_str(), times, 0);
    }
}

std::string TempTree::addNestedFolders(const std::string& name, int depth, const std::string& fileName)
{
    std::string deepest = m_root;
    int parent = open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < depth && parent >= 0; ++level) {
        mkdirat(parent, name.c_str(), 0755);
        const int folder = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(parent);
        parent = folder;
        deepest += "/" + name;
        if (folder >= 0)
            close(openat(folder, fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }
    if (parent >= 0)
        close(parent);
    return deepest;
}

void TempTree::addSymlink(const std::string& path, const std::string& target)
{
    const fs::path full = fs::path(m_root) / path;
    fs::create_directories(full.parent_path());
    fs::create_symlink(target, full);
}

} // namespace qv::test
