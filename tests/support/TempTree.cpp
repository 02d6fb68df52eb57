#include "tests/support/TempTree.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace qv::test {

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
    std::error_code ec;
    // Make everything removable again, even folders a test made unreadable.
    for (auto it = fs::recursive_directory_iterator(m_root, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            chmod(it->path().c_str(), 0700);
    }
    chmod(m_root.c_str(), 0700);
    fs::remove_all(m_root, ec);
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

void TempTree::addSymlink(const std::string& path, const std::string& target)
{
    const fs::path full = fs::path(m_root) / path;
    fs::create_directories(full.parent_path());
    fs::create_symlink(target, full);
}

} // namespace qv::test
