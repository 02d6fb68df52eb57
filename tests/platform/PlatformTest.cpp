// The local file system and the file types from the MIME database.
#include "platform/LocalFileSystem.h"
#include "platform/MimeFileTypeInfo.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

TEST(LocalFileSystem, ListsEntriesWithLazyDetails)
{
    TempTree tree({{"a.txt", "12345", 1000000000}, {"dir/", ""}});
    tree.addSymlink("link", "dir");
    LocalFileSystem files;
    auto listing = files.list(tree.root());
    ASSERT_TRUE(listing);
    auto& entries = listing->entries();
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "a.txt");
    EXPECT_FALSE(entries[0].isFolder);
    EXPECT_TRUE(entries[1].isFolder);
    EXPECT_TRUE(entries[2].isFolder);
    EXPECT_TRUE(entries[2].isLink);
    listing->release(); // details still come, by path
    ASSERT_TRUE(listing->loadDetails(entries[0]));
    EXPECT_EQ(entries[0].size, 5);
    EXPECT_EQ(entries[0].written, 1000000000);
    EXPECT_FALSE(files.list(tree.path("a.txt")));
    EXPECT_FALSE(files.list(tree.path("missing")));
}

TEST(LocalFileSystem, VanishedEntryHasNoDetails)
{
    TempTree tree({{"gone.txt", "x"}});
    LocalFileSystem files;
    auto listing = files.list(tree.root());
    ASSERT_TRUE(listing);
    unlink(tree.path("gone.txt").c_str());
    EXPECT_FALSE(listing->loadDetails(listing->entries().at(0)));
}

TEST(LocalFileSystem, ReadsRegularFilesOnly)
{
    TempTree tree({{"a.txt", "hello"}, {"dir/", ""}});
    LocalFileSystem files;
    auto reader = files.openForReading(tree.path("a.txt"));
    ASSERT_TRUE(reader);
    char buf[16];
    EXPECT_EQ(reader->read(buf, sizeof buf), 5);
    EXPECT_EQ(reader->read(buf, sizeof buf), 0);
    EXPECT_FALSE(files.openForReading(tree.path("dir")));
    EXPECT_FALSE(files.openForReading(tree.path("missing")));
}

TEST(MimeFileTypeInfo, TypeAndIconComeFromTheNameAlone)
{
    MimeFileTypeInfo types("ja_JP");
    const FileType text = types.typeOf("notes.TXT");
    EXPECT_EQ(text.iconName, "text-plain");
    EXPECT_FALSE(text.typeName.empty());
    EXPECT_EQ(types.typeOf("other.txt").typeName, text.typeName);
    // The cache must not take "a.tar.gz" (a compressed archive) for "a.gz" (a gzip stream).
    EXPECT_NE(types.typeOf("a.gz").typeName, types.typeOf("a.tar.gz").typeName);
    EXPECT_NE(types.typeOf("a.tar.gz").typeName, types.typeOf("b.gz").typeName);
    EXPECT_FALSE(types.typeOf("no-extension-at-all").iconName.empty());
}
