// The folder walk over a local tree and over an in-memory file system.
#include "platform/LocalFileSystem.h"
#include "results/RowPath.h"
#include "search/CriteriaReader.h"
#include "search/FolderWalk.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"
#include "tests/support/Cp932Bytes.h"
#include "tests/support/FakeFileTypes.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <optional>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>

using namespace qv;
using namespace qv::test;

namespace {

struct WalkRun {
    SearchCriteria criteria;
    SearchState state;
    RecordingSink sink;
    StopRequest stop;
    FakeFileTypes types;
    bool result = false;

    WalkRun(FileSystem& files, const std::string& root, const SearchFormValues& form = {})
    {
        SearchHistories histories;
        CriteriaReader::read(form, {}, criteria, histories);
        run(files, root);
    }

    void run(FileSystem& files, const std::string& root)
    {
        FolderWalk walk(criteria, state, {files, types, sink, stop});
        result = walk.walk(root);
    }

    std::vector<std::string> sortedNames() const
    {
        std::vector<std::string> names;
        for (std::int64_t i = 0; i < sink.rows.count(); ++i)
            names.push_back(sink.rows.at(i).cell(Column::Name));
        std::sort(names.begin(), names.end());
        return names;
    }

    std::optional<ResultRow> rowNamed(const std::string& name) const
    {
        for (std::int64_t i = 0; i < sink.rows.count(); ++i)
            if (sink.rows.cellText(i, Column::Name) == name)
                return sink.rows.at(i);
        return std::nullopt;
    }
};

SearchFormValues named(const std::string& text)
{
    SearchFormValues form;
    form.nameText = text;
    return form;
}

using Strings = std::vector<std::string>;

FileEntry file(const std::string& name, std::int64_t size = 0, std::int64_t time = 1000000000)
{
    return memoryFile(name, size, time);
}

} // namespace

TEST(FolderWalkLocal, EmptyNameBoxFindsEveryFileAndFolder)
{
    TempTree tree({{"a.txt", "hello"}, {"sub/b.md", "x"}, {"sub/deeper/", ""}, {"empty/", ""}});
    LocalFileSystem files;
    WalkRun run(files, tree.root());
    EXPECT_TRUE(run.result);
    EXPECT_EQ(run.sortedNames(), (Strings{"a.txt", "b.md", "deeper", "empty", "sub"}));
    EXPECT_EQ(run.state.foundCount.load(), 5);

    const std::optional<ResultRow> folder = run.rowNamed("sub");
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(folder->cell(Column::Path), tree.root());
    EXPECT_EQ(folder->cell(Column::Size), "");
    EXPECT_EQ(folder->cell(Column::Type), "フォルダ");
    EXPECT_EQ(folder->image, ImageFolder);
    EXPECT_EQ(folder->cell(Column::Match), "");

    const std::optional<ResultRow> nested = run.rowNamed("b.md");
    ASSERT_TRUE(nested.has_value());
    EXPECT_EQ(nested->cell(Column::Path), tree.root() + "/sub");
    EXPECT_EQ(nested->cell(Column::Size), "0 KB");
    EXPECT_EQ(nested->cell(Column::Type), "md file");
    EXPECT_GE(nested->image, kFirstFileImage);
    EXPECT_EQ(nested->cell(Column::Updated).size(), 16u);
}

TEST(FolderWalkLocal, SubFoldersClearedTestsTheTopFolderOnly)
{
    TempTree tree({{"a.txt", ""}, {"sub/b.txt", ""}});
    LocalFileSystem files;
    SearchFormValues form;
    form.subFolders = CheckState::Unchecked;
    WalkRun run(files, tree.root(), form);
    EXPECT_EQ(run.sortedNames(), (Strings{"a.txt", "sub"}));
}

TEST(FolderWalkLocal, NameMatchingTwoPatternsGivesTwoRows)
{
    TempTree tree({{"a.txt", ""}, {"b.txt", ""}, {"abc.doc", ""}});
    LocalFileSystem files;
    WalkRun run(files, tree.root(), named("*.txt;a*"));
    Strings rows = run.sink.namesWithMatch();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (Strings{"a.txt|*.TXT", "a.txt|A*", "abc.doc|A*", "b.txt|*.TXT"}));
}

// A link to a folder above it made the walk go round for ever.
TEST(FolderWalkLocal, LinkToAFolderIsReportedButNeverEntered)
{
    TempTree tree({{"sub/a.txt", ""}});
    tree.addSymlink("sub/loop", tree.root());
    tree.addSymlink("dangling", tree.root() + "/nowhere");
    LocalFileSystem files;
    WalkRun run(files, tree.root());
    EXPECT_TRUE(run.result);
    EXPECT_EQ(run.sortedNames(), (Strings{"a.txt", "dangling", "loop", "sub"}));
    const std::optional<ResultRow> loop = run.rowNamed("loop");
    ASSERT_TRUE(loop.has_value());
    EXPECT_EQ(loop->cell(Column::Type), "フォルダ");
}

TEST(FolderWalkLocal, SizeConditionOnKilobytesExcludesFolders)
{
    TempTree tree({{"small", std::string(1023, 'x')}, {"one", std::string(1024, 'x')}, {"dir/", ""}});
    LocalFileSystem files;
    SearchFormValues form;
    form.optionsShown = CheckState::Checked;
    form.sizeCondition = CheckState::Checked;
    form.minSizeText = "0";
    form.maxSizeText = "0";
    WalkRun zero(files, tree.root(), form);
    EXPECT_EQ(zero.sortedNames(), Strings{"small"});
    EXPECT_EQ(zero.rowNamed("small")->cell(Column::Size), "0 KB");

    form.minSizeText = "1";
    form.maxSizeText = "";
    EXPECT_TRUE(WalkRun(files, tree.root(), form).sortedNames().empty()) << "1 KB to 0 KB holds nothing";
    form.maxSizeText = "1";
    EXPECT_EQ(WalkRun(files, tree.root(), form).sortedNames(), Strings{"one"});
}

TEST(FolderWalkLocal, TimeConditionTestsFilesAndFolders)
{
    const std::int64_t t2001 = 988898820; // 2001-05-03
    const std::int64_t t2020 = 1600000000;
    TempTree tree({{"old.txt", "", t2001}, {"new.txt", "", t2020}});
    tree.add({"olddir/", "", t2001});
    LocalFileSystem files;
    SearchFormValues form;
    form.optionsShown = CheckState::Checked;
    form.timeCondition = CheckState::Checked;
    form.startTime = {true, 2001, 1, 1, 0, 0, 0};
    form.endTime = {true, 2002, 1, 1, 0, 0, 0};
    EXPECT_EQ(WalkRun(files, tree.root(), form).sortedNames(), (Strings{"old.txt", "olddir"}));

    form.startTime = {true, 2003, 1, 1, 0, 0, 0}; // start after end
    EXPECT_TRUE(WalkRun(files, tree.root(), form).sortedNames().empty());

    // Hidden options: the ticked time box has no effect.
    form.optionsShown = CheckState::Unchecked;
    EXPECT_EQ(WalkRun(files, tree.root(), form).sortedNames().size(), 3u);
}

TEST(FolderWalkLocal, ContentConditionExcludesFoldersAndFillsMatchString)
{
    TempTree tree({{"a.txt", "say Hello"}, {"b.txt", "nothing"}, {"hello/", ""}});
    LocalFileSystem files;
    SearchFormValues form;
    form.containing = CheckState::Checked;
    form.containingText = "HELLO";
    WalkRun run(files, tree.root(), form);
    ASSERT_EQ(run.sortedNames(), Strings{"a.txt"});
    EXPECT_EQ(run.rowNamed("a.txt")->cell(Column::MatchString), "hello");
}

TEST(FolderWalkLocal, NamedPipeIsNotReadForContent)
{
    TempTree tree({{"a.txt", "needle"}});
    ASSERT_EQ(mkfifo(tree.path("pipe").c_str(), 0600), 0);
    LocalFileSystem files;
    SearchFormValues form;
    form.containing = CheckState::Checked;
    form.containingText = "needle";
    WalkRun run(files, tree.root(), form); // would block for ever if the pipe were opened for reading
    EXPECT_EQ(run.sortedNames(), Strings{"a.txt"});
}

TEST(FolderWalkLocal, LinkToADeviceIsNotReadForContent)
{
    TempTree tree({{"a.txt", "needle"}});
    tree.addSymlink("zero", "/dev/zero"); // endless: reading it would never end
    LocalFileSystem files;
    SearchFormValues form;
    form.containing = CheckState::Checked;
    form.containingText = "needle";
    WalkRun run(files, tree.root(), form);
    EXPECT_EQ(run.sortedNames(), Strings{"a.txt"});
}

TEST(FolderWalkLocal, InvalidUtf8NameShowsReplacementAndMatchesAsBytes)
{
    TempTree tree({{"caf\xE9.txt", "x"}, {"plain.txt", "x"}});
    LocalFileSystem files;
    WalkRun run(files, tree.root(), named("caf?.txt"));
    ASSERT_EQ(run.sink.rows.count(), 1);
    EXPECT_EQ(run.sink.rows.at(0).cell(Column::Name), "caf\xEF\xBF\xBD.txt");
    // The content match reaches the file by its real bytes.
    SearchFormValues form = named("caf?.txt");
    form.containing = CheckState::Checked;
    form.containingText = "x";
    EXPECT_EQ(WalkRun(files, tree.root(), form).sink.rows.count(), 1);
}

TEST(FolderWalkLocal, Cp932NamesShowDecodedAndMarkedAndKeepTheirBytes)
{
    const std::string estimate = cp932Bytes("見積書.txt");
    const std::string invoices = cp932Bytes("請求");
    TempTree tree({{estimate, "x"}, {invoices + "/明細.txt", "y"}, {"plain.txt", ""}});
    LocalFileSystem files;
    WalkRun run(files, tree.root());
    Strings expected{"plain.txt", "明細.txt", "見積書.txt〔CP932〕", "請求〔CP932〕"};
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(run.sortedNames(), expected);

    const std::optional<ResultRow> file = run.rowNamed("見積書.txt〔CP932〕");
    EXPECT_EQ(file->cell(Column::Path), tree.root());
    EXPECT_EQ(file->sourcePath, tree.path(estimate));
    EXPECT_EQ(fullPath(*file), tree.path(estimate));

    const std::optional<ResultRow> folder = run.rowNamed("請求〔CP932〕");
    EXPECT_EQ(folder->cell(Column::Type), "フォルダ");
    EXPECT_EQ(folder->sourcePath, tree.path(invoices));

    // A UTF-8 name inside a CP932 folder: the folder shows decoded, the bytes stay real.
    const std::optional<ResultRow> inside = run.rowNamed("明細.txt");
    EXPECT_EQ(inside->cell(Column::Path), tree.root() + "/請求〔CP932〕");
    EXPECT_EQ(inside->sourcePath, tree.path(invoices + "/明細.txt"));
    EXPECT_NE(std::find(run.sink.statuses.begin(), run.sink.statuses.end(),
                        "フォルダを検索" + tree.root() + "/請求〔CP932〕 ...\n"),
              run.sink.statuses.end());

    const std::optional<ResultRow> plain = run.rowNamed("plain.txt");
    EXPECT_EQ(plain->cell(Column::Path), tree.root());
    EXPECT_EQ(plain->sourcePath, "");
}

TEST(FolderWalkLocal, NamePatternsMatchTheDecodedTextWithoutTheMarker)
{
    TempTree tree({{cp932Bytes("見積書.txt"), ""}, {"見積書.md", ""}, {"other.txt", ""}});
    LocalFileSystem files;
    EXPECT_EQ(WalkRun(files, tree.root(), named("見積書")).sortedNames(), (Strings{"見積書.md", "見積書.txt〔CP932〕"}));
    // "?" stands for a decoded character, not for one of its bytes.
    EXPECT_EQ(WalkRun(files, tree.root(), named("見??.txt")).sortedNames(), Strings{"見積書.txt〔CP932〕"});
    EXPECT_EQ(WalkRun(files, tree.root(), named("*.txt")).sortedNames(), (Strings{"other.txt", "見積書.txt〔CP932〕"}));
    EXPECT_TRUE(WalkRun(files, tree.root(), named("*CP932*")).sortedNames().empty());
}

TEST(FolderWalkLocal, WalkRootInsideACp932FolderShowsItDecoded)
{
    const std::string invoices = cp932Bytes("請求");
    TempTree tree({{invoices + "/a.txt", ""}});
    LocalFileSystem files;
    WalkRun run(files, tree.path(invoices));
    ASSERT_EQ(run.sink.rows.count(), 1);
    EXPECT_EQ(run.sink.rows.at(0).cell(Column::Path), tree.root() + "/請求〔CP932〕");
    EXPECT_EQ(run.sink.rows.at(0).sourcePath, tree.path(invoices + "/a.txt"));
    EXPECT_EQ(run.sink.statuses.front(), "フォルダを検索" + tree.root() + "/請求〔CP932〕 ...\n");
}

TEST(FolderWalkLocal, NameNeitherUtf8NorCp932KeepsItsBytesForOpening)
{
    TempTree tree({{"caf\xE9.txt", ""}, {"\xFF/in.txt", ""}});
    LocalFileSystem files;
    WalkRun run(files, tree.root());
    const std::optional<ResultRow> cafe = run.rowNamed("caf\uFFFD.txt");
    ASSERT_TRUE(cafe.has_value());
    EXPECT_EQ(cafe->sourcePath, tree.path("caf\xE9.txt"));
    const std::optional<ResultRow> inside = run.rowNamed("in.txt");
    ASSERT_TRUE(inside.has_value());
    EXPECT_EQ(inside->cell(Column::Path), tree.root() + "/\uFFFD");
    EXPECT_EQ(inside->sourcePath, tree.path("\xFF/in.txt"));
}

// A root that could not be listed gave no sign: the search read as one that found nothing.
TEST(FolderWalkLocal, RootThatCannotBeListedIsToldAsTheSearchsOwnPlace)
{
    TempTree tree({{"plain.txt", "x"}});
    LocalFileSystem files;
    const std::pair<std::string, int> roots[] = {{"/nonexistent/qv-test-root", ENOENT},
                                                 {tree.path("plain.txt"), ENOTDIR}};
    for (const auto& [root, error] : roots) {
        WalkRun run(files, root);
        EXPECT_TRUE(run.result);
        EXPECT_EQ(run.sink.rows.count(), 0);
        ASSERT_FALSE(run.sink.statuses.empty());
        EXPECT_EQ(run.sink.statuses[0], "フォルダを検索" + root + " ...\n");
        ASSERT_EQ(run.sink.failures.size(), 1u) << root;
        const PlaceFailure& failure = run.sink.failures[0];
        EXPECT_EQ(failure.place, root);
        EXPECT_EQ(failure.error, error);
        EXPECT_EQ(failure.kind, PlaceFailure::Kind::Folder);
        EXPECT_TRUE(failure.searchPlace);
        EXPECT_FALSE(failure.installation);
        EXPECT_TRUE(run.state.placeFailed.load());
    }
}

// 40 nested folders of 202-byte names lost their 8 deepest: past 32 levels the walk
// opened folders by their full path, which the kernel refuses beyond 4,096 bytes.
TEST(FolderWalkLocal, DeepTreeIsWalkedToItsEndWithAFewDescriptors)
{
    TempTree tree;
    constexpr int kDepth = 120; // a path of 24 KiB
    const std::string deepest = tree.addNestedFolders(std::string(202, 'n'), kDepth, "f.txt");
    LocalFileSystem files;
    std::size_t mostDescriptors = 0;
    auto openDescriptors = [] {
        std::size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
            n += entry.is_symlink() ? 1 : 0;
        return n;
    };
    const std::size_t before = openDescriptors();
    SearchCriteria criteria;
    SearchHistories histories;
    CriteriaReader::read(named("f.txt"), {}, criteria, histories);
    SearchState state;
    RecordingSink sink;
    StopRequest stop;
    FakeFileTypes types;
    sink.onRow = [&] { mostDescriptors = std::max(mostDescriptors, openDescriptors()); };
    FolderWalk walk(criteria, state, {files, types, sink, stop});
    EXPECT_TRUE(walk.walk(tree.root()));
    EXPECT_TRUE(sink.failures.empty());
    ASSERT_EQ(sink.rows.count(), kDepth);
    EXPECT_EQ(sink.rows.at(0).cell(Column::Path), deepest); // the newest row, the deepest file
    // One descriptor per level for the first levels, then one per 2 KiB of path:
    // never one per level of a deep tree.
    const std::size_t bound = 33 + deepest.size() / LocalFileSystem::kLongestReach + 4;
    EXPECT_LE(mostDescriptors - before, bound);
    EXPECT_EQ(openDescriptors(), before);
}

TEST(FolderWalkMemory, RowsComeInPatternThenListingOrderAndFoldersOnceEach)
{
    MemoryFileSystem files;
    files.addFile("\\\\H\\s", file("b.txt"));
    files.addFile("\\\\H\\s", file("a.txt"));
    files.addFile("\\\\H\\s\\sub", file("c.txt"));
    files.addFile("\\\\H\\s", file("x.doc"));
    WalkRun run(files, "\\\\H\\s", named("*.txt;*.doc;*.txt"));
    EXPECT_EQ(run.sink.namesWithMatch(),
              (Strings{"b.txt|*.TXT", "a.txt|*.TXT", "x.doc|*.DOC", "b.txt|*.TXT", "a.txt|*.TXT", "c.txt|*.TXT",
                       "c.txt|*.TXT"}));
    // One listing per folder, however many patterns there are.
    EXPECT_EQ(files.listings.load(), 2);
    EXPECT_EQ(run.sink.rows.at(0).cell(Column::Path), "\\\\H\\s\\sub");
    // The newest row sits on top with the highest key.
    EXPECT_EQ(run.sink.rows.at(0).key, 6);
    EXPECT_EQ(run.sink.statuses.front(), "フォルダを検索\\\\H\\s ...\n");
    EXPECT_EQ(run.sink.statuses.back(), "フォルダを検索\\\\H\\s\\sub ...\n");
}

// The SMB library gives UTF-8 names: they go through the same walk unchanged.
TEST(FolderWalkMemory, NetworkNamesComeOutUnchangedWithNoRealBytesKept)
{
    MemoryFileSystem files;
    files.addFile("\\\\H\\共有\\請求", file("見積書.txt"));
    WalkRun run(files, "\\\\H\\共有", named("見積書"));
    ASSERT_EQ(run.sink.rows.count(), 1);
    const ResultRow& row = run.sink.rows.at(0);
    EXPECT_EQ(row.cell(Column::Name), "見積書.txt");
    EXPECT_EQ(row.cell(Column::Path), "\\\\H\\共有\\請求");
    EXPECT_EQ(row.sourcePath, "");
    EXPECT_EQ(rowPath(row), "\\\\H\\共有\\請求\\見積書.txt");
}

// Sizes wrapped at 4 GiB and times at 2038 when they were 32-bit.
TEST(FolderWalkMemory, HugeSizesAndLateTimesKeepTheirValue)
{
    MemoryFileSystem files;
    const std::int64_t fiveGiB = 5LL << 30;
    const std::int64_t in2040 = 2208988800; // 2040-01-01 UTC
    files.addFile("\\\\H\\s", file("disk.img", fiveGiB, in2040));
    SearchFormValues form;
    form.optionsShown = CheckState::Checked;
    form.sizeCondition = CheckState::Checked;
    form.minSizeText = "5000000";
    form.maxSizeText = "6000000";
    WalkRun run(files, "\\\\H\\s", form);
    ASSERT_EQ(run.sink.rows.count(), 1);
    EXPECT_EQ(run.sink.rows.at(0).cell(Column::Size), "5242880 KB");
    EXPECT_EQ(run.sink.rows.at(0).cell(Column::Updated).substr(0, 4), "2040");
}

TEST(FolderWalkMemory, UnkeptCreationTimeGivesEmptyCellAndFailsTheRange)
{
    MemoryFileSystem files;
    FileEntry e = file("a.txt");
    e.created = -1;
    files.addFile("\\\\H\\s", e);
    WalkRun plain(files, "\\\\H\\s");
    ASSERT_EQ(plain.sink.rows.count(), 1);
    EXPECT_EQ(plain.sink.rows.at(0).cell(Column::Created), "");
    EXPECT_FALSE(plain.sink.rows.at(0).cell(Column::Updated).empty());

    SearchFormValues form;
    form.optionsShown = CheckState::Checked;
    form.timeCondition = CheckState::Checked;
    form.timeTypeIndex = 1;
    form.startTime = {true, 1970, 1, 2, 0, 0, 0};
    form.endTime = {true, 2100, 1, 1, 0, 0, 0};
    EXPECT_EQ(WalkRun(files, "\\\\H\\s", form).sink.rows.count(), 0);
}

TEST(FolderWalkMemory, UnreadableFolderIsPassedOverAndTold)
{
    MemoryFileSystem files;
    files.addFile("\\\\H\\s\\locked", file("secret.txt"));
    files.addFile("\\\\H\\s\\open", file("public.txt"));
    files.unreadableFolders.insert("\\\\H\\s\\locked");
    WalkRun run(files, "\\\\H\\s", named("*.txt"));
    EXPECT_TRUE(run.result);
    EXPECT_EQ(run.sink.namesWithMatch(), Strings{"public.txt|*.TXT"});
    ASSERT_EQ(run.sink.failures.size(), 1u);
    EXPECT_EQ(run.sink.failures[0].place, "\\\\H\\s\\locked");
    EXPECT_EQ(run.sink.failures[0].reason, "access denied");
    EXPECT_FALSE(run.sink.failures[0].searchPlace);
    EXPECT_FALSE(run.state.placeFailed.load()) << "a folder inside the walk is not the search's place";
}

TEST(FolderWalkMemory, FolderGoneSinceTheListingIsNoFailure)
{
    MemoryFileSystem files;
    FileEntry gone = file("gone");
    gone.isFolder = true; // listed, but no longer there when the walk enters it
    files.addFile("\\\\H\\s", gone);
    files.addFile("\\\\H\\s", file("b.txt"));
    WalkRun run(files, "\\\\H\\s", named("*.txt"));
    EXPECT_EQ(run.sink.namesWithMatch(), Strings{"b.txt|*.TXT"});
    EXPECT_TRUE(run.sink.failures.empty());
}

// One icon was appended per file examined, so the image lists grew without bound.
TEST(FolderWalkMemory, EachDistinctIconTakesOneImage)
{
    MemoryFileSystem files;
    for (int i = 0; i < 50; ++i)
        files.addFile("\\\\H\\s", file("f" + std::to_string(i) + (i % 2 ? ".txt" : ".c")));
    WalkRun run(files, "\\\\H\\s");
    EXPECT_EQ(run.sink.rows.count(), 50);
    EXPECT_EQ(run.state.images.count(), kFirstFileImage + 2);
    std::set<int> images;
    for (std::int64_t i = 0; i < run.sink.rows.count(); ++i)
        images.insert(run.sink.rows.at(i).image);
    EXPECT_EQ(images, (std::set<int>{10, 11}));
}

TEST(FolderWalkMemory, StopRequestEndsEveryLevelAndKeepsTheRows)
{
    MemoryFileSystem files;
    for (int d = 0; d < 5; ++d)
        for (int f = 0; f < 5; ++f)
            files.addFile("\\\\H\\s\\d" + std::to_string(d), file("f" + std::to_string(f) + ".txt"));
    SearchCriteria criteria;
    SearchHistories histories;
    CriteriaReader::read({}, {}, criteria, histories);
    SearchState state;
    RecordingSink sink;
    StopRequest stop;
    FakeFileTypes types;
    sink.onRow = [&] {
        if (sink.rows.count() == 3)
            stop.request();
    };
    FolderWalk walk(criteria, state, {files, types, sink, stop});
    EXPECT_FALSE(walk.walk("\\\\H\\s"));
    EXPECT_EQ(sink.rows.count(), 3);
    EXPECT_LE(files.listings.load(), 2) << "no folder is entered after the stop";
}
