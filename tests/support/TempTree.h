// Builds a temporary folder tree from a short description, and removes it afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <initializer_list>
#include <vector>

namespace qv::test {

struct TreeItem {
    std::string path;                // relative, "/"-separated; a trailing "/" makes a folder
    std::string content;             // file bytes
    std::int64_t modified = -1;      // seconds since 1970 for the write and access times; -1 keeps now
};

class TempTree final {
public:
    TempTree() : TempTree(std::initializer_list<TreeItem>{}) {}
    explicit TempTree(std::initializer_list<TreeItem> items);
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    void add(const TreeItem& item);
    // `depth` folders called `name`, each inside the one before, each holding an empty
    // file `fileName`. They are made relative to their parents, so the whole path may
    // be longer than the kernel takes at once. Gives the deepest folder's path.
    std::string addNestedFolders(const std::string& name, int depth, const std::string& fileName);
    void addSymlink(const std::string& path, const std::string& target);
    const std::string& root() const { return m_root; }
    std::string path(const std::string& relative) const { return m_root + "/" + relative; }

private:
    std::string m_root;
};

} // namespace qv::test
