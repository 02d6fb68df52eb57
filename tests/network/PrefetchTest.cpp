// Folder listings made ahead by helpers: the walk gives the rows and order it gives on
// its own, at most so many listings wait, and stopping ends helpers stuck in a call.
#include "network/PrefetchingFileSystem.h"
#include "search/CriteriaReader.h"
#include "search/FolderWalk.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"
#include "tests/support/FakeFileTypes.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/RecordingSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

using namespace qv;
using namespace qv::test;
using namespace std::chrono_literals;

namespace {

constexpr const char* kRoot = "\\\\H\\share";

// A share of nested folders of uneven shape (some empty, some deep, some wide), with
// files in most of them; the same seed gives the same tree.
std::shared_ptr<MemoryFileSystem> unevenShare(unsigned seed, int folders)
{
    auto share = std::make_shared<MemoryFileSystem>('\\');
    std::mt19937 rng(seed);
    std::vector<std::string> made{kRoot};
    share->addFolder("\\\\H", "share");
    for (int i = 0; i < folders; ++i) {
        // Mostly below a recent folder, so the tree gets deep as well as wide.
        const std::size_t parent = rng() % 3 == 0 ? rng() % made.size() : made.size() - 1 - rng() % std::min<std::size_t>(made.size(), 4);
        const std::string name = "d" + std::to_string(i);
        share->addFolder(made[parent], name);
        made.push_back(made[parent] + "\\" + name);
        for (unsigned f = rng() % 4; f > 0; --f)
            share->addFile(made.back(), memoryFile("f" + std::to_string(i) + "_" + std::to_string(f) + ".txt", 10));
    }
    return share;
}

// Passes every call on to a shared tree; listing waits first, as a slow server would.
class SlowLister final : public FileSystem {
public:
    SlowLister(std::shared_ptr<FileSystem> files, std::chrono::microseconds delay) : m_files(std::move(files)), m_delay(delay) {}
    using FileSystem::list;
    std::unique_ptr<FolderListing> list(const std::string& path, int& error) override
    {
        std::this_thread::sleep_for(m_delay);
        ++listings;
        return m_files->list(path, error);
    }
    std::unique_ptr<FileReader> openForReading(const std::string& path) override { return m_files->openForReading(path); }
    char separator() const override { return m_files->separator(); }
    std::atomic<int> listings{0};

private:
    std::shared_ptr<FileSystem> m_files;
    std::chrono::microseconds m_delay;
};

// Listing hangs until abort(), as a call to a server that stopped answering.
class HangingLister final : public FileSystem {
public:
    using FileSystem::list;
    std::unique_ptr<FolderListing> list(const std::string&, int& error) override
    {
        error = ECANCELED;
        std::unique_lock lock(m_mutex);
        ++entered;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_aborted; });
        return nullptr;
    }
    std::unique_ptr<FileReader> openForReading(const std::string&) override { return nullptr; }
    char separator() const override { return '\\'; }
    void abort()
    {
        std::lock_guard lock(m_mutex);
        m_aborted = true;
        m_changed.notify_all();
    }
    bool waitEntered()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [&] { return entered > 0; });
    }
    int entered = 0;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_aborted = false;
};

// Notes the folders it is asked to list and holds each call until let go.
class GatedLister final : public FileSystem {
public:
    explicit GatedLister(std::shared_ptr<FileSystem> files) : m_files(std::move(files)) {}
    using FileSystem::list;
    std::unique_ptr<FolderListing> list(const std::string& path, int& error) override
    {
        std::unique_lock lock(m_mutex);
        m_asked.push_back(path);
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_open; });
        lock.unlock();
        return m_files->list(path, error);
    }
    std::unique_ptr<FileReader> openForReading(const std::string& path) override { return m_files->openForReading(path); }
    char separator() const override { return m_files->separator(); }
    std::string firstAsked()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, 10s, [&] { return !m_asked.empty(); });
        return m_asked.empty() ? std::string() : m_asked.front();
    }
    void letGo()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::shared_ptr<FileSystem> m_files;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_asked;
    bool m_open = false;
};

struct Walked {
    std::vector<std::string> rows; // full path of each row, oldest first
    bool completed = false;
};

Walked walkAll(FileSystem& files, const std::string& nameText = {}, const std::string& root = kRoot)
{
    SearchFormValues form;
    form.nameText = nameText;
    SearchCriteria criteria;
    SearchHistories histories;
    CriteriaReader::read(form, {}, criteria, histories);
    SearchState state;
    RecordingSink sink;
    StopRequest stop;
    FakeFileTypes types;
    FolderWalk walk(criteria, state, {files, types, sink, stop});
    Walked result;
    result.completed = walk.walk(root);
    for (std::int64_t i = sink.rows.count() - 1; i >= 0; --i)
        result.rows.push_back(std::string(sink.rows.cellText(i, Column::Path)) + "\\"
                              + std::string(sink.rows.cellText(i, Column::Name)));
    return result;
}

PrefetchingFileSystem::ListerMaker slowListers(std::shared_ptr<FileSystem> tree, std::chrono::microseconds delay,
                                               std::vector<std::shared_ptr<SlowLister>>* made = nullptr)
{
    return [tree, delay, made] {
        auto lister = std::make_shared<SlowLister>(tree, delay);
        if (made)
            made->push_back(lister);
        return PrefetchingFileSystem::Lister{lister, {}};
    };
}

TEST(PrefetchingFileSystem, TheWalkGivesTheSameRowsInTheSameOrder)
{
    for (const unsigned seed : {1u, 2u, 3u}) {
        std::shared_ptr<MemoryFileSystem> tree = unevenShare(seed, 400);
        tree->unreadableFolders.insert(std::string(kRoot) + "\\d7"); // a folder no one can list
        const Walked alone = walkAll(*tree);
        ASSERT_TRUE(alone.completed);
        ASSERT_GT(alone.rows.size(), 400u);
        for (const int helpers : {1, 3, 7}) {
            // The walk's own listings are slower than the helpers', so they get ahead.
            auto walkFiles = std::make_shared<SlowLister>(tree, 200us);
            PrefetchingFileSystem ahead(walkFiles, slowListers(tree, 20us), helpers);
            const Walked prefetched = walkAll(ahead);
            EXPECT_TRUE(prefetched.completed);
            EXPECT_EQ(prefetched.rows, alone.rows) << "seed " << seed << ", " << helpers << " helpers";
            EXPECT_GT(ahead.listingsTakenFromHelpers(), 0) << "seed " << seed;
        }
    }
}

TEST(PrefetchingFileSystem, HelpersLeaveTheFolderTheWalkGoesToNextToTheWalk)
{
    // A helper that took the very folder the walk goes to next would have the walk
    // wait for it, and one helper would be no faster than none.
    auto tree = std::make_shared<MemoryFileSystem>('\\');
    tree->addFolder("\\\\H", "share");
    for (const char* top : {"a", "b", "c"})
        tree->addFolder(kRoot, top);
    auto gated = std::make_shared<GatedLister>(tree);
    // Its help is taken from the start, without a trial first.
    PrefetchingFileSystem ahead(tree, [gated] { return PrefetchingFileSystem::Lister{gated, {}}; }, 1,
                                PrefetchingFileSystem::kMostHeld, PrefetchingFileSystem::kNoTrial);
    struct LetGoAtTheEnd {
        GatedLister& lister;
        ~LetGoAtTheEnd() { lister.letGo(); }
    } letGoAtTheEnd{*gated};
    ASSERT_NE(ahead.list(kRoot), nullptr); // plans a, b and c; nothing is asked for yet
    ASSERT_EQ(gated->firstAsked(), std::string(kRoot) + "\\b");
    // The walk lists a itself and takes b from the helper.
    int error = 0;
    EXPECT_NE(ahead.list(std::string(kRoot) + "\\a", error), nullptr);
    gated->letGo();
    EXPECT_NE(ahead.list(std::string(kRoot) + "\\b", error), nullptr);
    EXPECT_EQ(ahead.listingsTakenFromHelpers(), 1);
}

TEST(PrefetchingFileSystem, SharesWalkedInTurnGiveTheirOwnRows)
{
    // A computer's shares go through one file system, one walk after the other.
    std::shared_ptr<MemoryFileSystem> tree = unevenShare(8, 150);
    tree->addFolder("\\\\H", "other");
    const std::string other = "\\\\H\\other";
    for (int i = 0; i < 40; ++i) {
        tree->addFolder(other, "o" + std::to_string(i));
        tree->addFile(other + "\\o" + std::to_string(i), memoryFile("g.txt", 5));
    }
    auto walkFiles = std::make_shared<SlowLister>(tree, 200us);
    std::vector<std::shared_ptr<SlowLister>> listers;
    PrefetchingFileSystem ahead(walkFiles, slowListers(tree, 20us, &listers), 3);
    for (const std::string& root : {std::string(kRoot), other, std::string(kRoot)}) {
        const Walked alone = walkAll(*tree, {}, root);
        const Walked prefetched = walkAll(ahead, {}, root);
        EXPECT_TRUE(prefetched.completed);
        EXPECT_EQ(prefetched.rows, alone.rows) << root;
    }
    int byListers = 0;
    for (const auto& lister : listers)
        byListers += lister->listings.load();
    EXPECT_EQ(walkFiles->listings.load() + byListers, 2 * 151 + 41); // each folder once per walk
}

TEST(PrefetchingFileSystem, NoFolderIsListedTwiceAndNoneForNothing)
{
    std::shared_ptr<MemoryFileSystem> tree = unevenShare(4, 300);
    const int folders = 301; // the share and its 300 folders
    auto walkFiles = std::make_shared<SlowLister>(tree, 100us);
    std::vector<std::shared_ptr<SlowLister>> listers;
    {
        PrefetchingFileSystem ahead(walkFiles, slowListers(tree, 50us, &listers), 2);
        walkAll(ahead, "*.txt");
    }
    int byListers = 0;
    for (const auto& lister : listers)
        byListers += lister->listings.load();
    EXPECT_EQ(walkFiles->listings.load() + byListers, folders);
}

// One server for several connections: every listing takes `work`, and where the
// server is bound by its cpu it makes one listing at a time.
class Server final {
public:
    Server(std::shared_ptr<FileSystem> tree, std::chrono::microseconds work, bool oneAtATime)
        : m_tree(std::move(tree)), m_work(work), m_oneAtATime(oneAtATime)
    {
    }
    class Connection final : public FileSystem {
    public:
        explicit Connection(Server& server) : m_server(server) {}
        using FileSystem::list;
        std::unique_ptr<FolderListing> list(const std::string& path, int& error) override
        {
            std::unique_lock busy(m_server.m_busy, std::defer_lock);
            if (m_server.m_oneAtATime)
                busy.lock();
            std::this_thread::sleep_for(m_server.m_work);
            ++listings;
            return m_server.m_tree->list(path, error);
        }
        std::unique_ptr<FileReader> openForReading(const std::string& path) override
        {
            return m_server.m_tree->openForReading(path);
        }
        char separator() const override { return m_server.m_tree->separator(); }
        std::atomic<int> listings{0};

    private:
        Server& m_server;
    };

private:
    std::shared_ptr<FileSystem> m_tree;
    std::chrono::microseconds m_work;
    bool m_oneAtATime;
    std::mutex m_busy;
};

TEST(PrefetchingFileSystem, HelpersStayOnlyWhereTheServerListsFasterForThem)
{
    std::shared_ptr<MemoryFileSystem> tree = unevenShare(5, 250);
    const Walked alone = walkAll(*tree);
    const PrefetchingFileSystem::Trial trial{8, 100ms};
    const auto listedBy = [](const auto& helpers) {
        std::vector<int> counts;
        for (const auto& helper : helpers)
            counts.push_back(helper->listings.load());
        return counts;
    };
    for (const bool cpuBound : {true, false}) {
        SCOPED_TRACE(cpuBound ? "server bound by its cpu" : "server bound by the time on the wire");
        // Listings take long beside the walk's own work on each, even in a slow build:
        // a helper that lists while the walk works would gain that much.
        Server server(tree, 5ms, cpuBound);
        // Lent helpers, once the walk has gone some way on its own, as in a pool.
        auto walkFiles = std::make_shared<Server::Connection>(server);
        PrefetchingFileSystem ahead(walkFiles, {}, 0, PrefetchingFileSystem::kMostHeld, trial);
        std::atomic<bool> walked{false};
        std::vector<std::unique_ptr<Server::Connection>> lenders;
        for (int i = 0; i < 3; ++i)
            lenders.push_back(std::make_unique<Server::Connection>(server));
        std::vector<std::thread> lending;
        for (auto& lender : lenders)
            lending.emplace_back([&, connection = lender.get()] {
                while (!walked && walkFiles->listings.load() < 10)
                    std::this_thread::sleep_for(1ms);
                while (!walked) {
                    if (ahead.wantsHelp())
                        ahead.lend(*connection, [&] { return walked.load(); });
                    std::this_thread::sleep_for(1ms);
                }
            });
        const Walked prefetched = walkAll(ahead);
        walked = true;
        for (std::thread& thread : lending)
            thread.join();
        EXPECT_EQ(prefetched.rows, alone.rows);
        EXPECT_EQ(ahead.helpPays(), std::optional<bool>(!cpuBound));
        std::vector<int> lent = listedBy(lenders);
        std::sort(lent.begin(), lent.end());
        EXPECT_GT(lent[2], 0) << "one was tried";
        if (cpuBound)
            EXPECT_EQ(lent[1], 0) << "no other was lent";
        else
            EXPECT_GT(lent[0], 0) << "all were lent once one paid";

        // Helpers of its own alike.
        auto ownWalkFiles = std::make_shared<Server::Connection>(server);
        std::vector<std::shared_ptr<Server::Connection>> own;
        std::optional<bool> ownPays;
        {
            PrefetchingFileSystem withOwn(ownWalkFiles, [&] {
                own.push_back(std::make_shared<Server::Connection>(server));
                return PrefetchingFileSystem::Lister{own.back(), {}};
            }, 3, PrefetchingFileSystem::kMostHeld, trial);
            EXPECT_EQ(walkAll(withOwn).rows, alone.rows);
            ownPays = withOwn.helpPays();
        }
        EXPECT_EQ(ownPays, std::optional<bool>(!cpuBound));
        std::vector<int> byOwn = listedBy(own);
        std::sort(byOwn.begin(), byOwn.end());
        ASSERT_EQ(byOwn.size(), 3u);
        EXPECT_EQ(byOwn[1] > 0, !cpuBound);
    }
    // What an earlier walk of the server found spares the trial, either way.
    for (const bool pays : {false, true}) {
        PrefetchingFileSystem settled(tree, {}, 0);
        settled.settleHelp(pays);
        ASSERT_NE(settled.list(kRoot), nullptr); // plans the sub-folders
        EXPECT_EQ(settled.wantsHelp(), pays);
        EXPECT_EQ(settled.helpPays(), std::optional<bool>(pays));
    }
}

TEST(PrefetchingFileSystem, HoldsNoMoreListingsAheadThanAllowed)
{
    std::shared_ptr<MemoryFileSystem> tree = unevenShare(5, 200);
    std::vector<std::shared_ptr<SlowLister>> listers;
    PrefetchingFileSystem ahead(tree, slowListers(tree, 0us, &listers), 3, 4, PrefetchingFileSystem::kNoTrial);
    // The walk lists its root and then takes nothing: the helpers fill what they may.
    ASSERT_NE(ahead.list(kRoot), nullptr);
    auto listed = [&] {
        int n = 0;
        for (const auto& lister : listers)
            n += lister->listings.load();
        return n;
    };
    for (int i = 0; i < 500 && listed() < 4; ++i)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(listed(), 4);
}

TEST(PrefetchingFileSystem, AbortEndsAWalkWaitingOnAHelperStuckInACall)
{
    std::shared_ptr<MemoryFileSystem> tree = unevenShare(6, 50);
    auto hanging = std::make_shared<HangingLister>();
    // The walk's own listings are slow, so the helper takes the first sub-folder.
    auto walkFiles = std::make_shared<SlowLister>(tree, 5ms);
    auto ahead = std::make_unique<PrefetchingFileSystem>(
        walkFiles, [hanging] { return PrefetchingFileSystem::Lister{hanging, [hanging] { hanging->abort(); }}; }, 1);
    auto walked = std::async(std::launch::async, [&] { return walkAll(*ahead); });
    ASSERT_TRUE(hanging->waitEntered());
    EXPECT_EQ(walked.wait_for(200ms), std::future_status::timeout); // it waits for that folder
    ahead->abort();
    ASSERT_EQ(walked.wait_for(5s), std::future_status::ready);
    walked.get();
    ahead.reset(); // joins its helper
}

TEST(PrefetchingFileSystem, EndingWithAHelperStuckInACallEndsTheCall)
{
    std::shared_ptr<MemoryFileSystem> tree = unevenShare(7, 20);
    auto hanging = std::make_shared<HangingLister>();
    auto done = std::async(std::launch::async, [&] {
        PrefetchingFileSystem ahead(tree, [hanging] { return PrefetchingFileSystem::Lister{hanging, [hanging] { hanging->abort(); }}; }, 1,
                                    PrefetchingFileSystem::kMostHeld, PrefetchingFileSystem::kNoTrial);
        ahead.list(kRoot);
        hanging->waitEntered();
        // Leaves while the helper hangs: the walk stopped or failed.
    });
    EXPECT_EQ(done.wait_for(5s), std::future_status::ready);
}

} // namespace
