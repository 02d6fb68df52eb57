// Computers searched at the same time: the rows and their order are those of the walk
// of one computer after the other, Stop ends every helper's walk, Pause holds them all.
#include "network/NetworkWalk.h"
#include "network/OrderedSink.h"
#include "platform/ComputerListCache.h"
#include "search/CriteriaReader.h"
#include "search/SearchRunner.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"
#include "tests/support/FakeFileTypes.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/ScriptedNetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <set>
#include <thread>

using namespace qv;
using namespace qv::test;
using namespace std::chrono_literals;

namespace {

using Strings = std::vector<std::string>;

TEST(OrderedSink, PartsComeOutInTheirOrderWhateverTheThreadsDo)
{
    RecordingSink out;
    OrderedSink order(out);
    constexpr int kParts = 12;
    std::vector<OrderedSink::Part*> parts;
    for (int p = 0; p < kParts; ++p)
        parts.push_back(&order.open());
    std::vector<std::thread> threads;
    for (int p = kParts - 1; p >= 0; --p)
        threads.emplace_back([&, p] {
            std::mt19937 rng(static_cast<unsigned>(p));
            for (int r = 0; r < 50; ++r) {
                ResultRow row;
                row.cell(Column::Name) = std::to_string(p) + "." + std::to_string(r);
                parts[static_cast<std::size_t>(p)]->addRow(std::move(row));
                parts[static_cast<std::size_t>(p)]->showStatus("part " + std::to_string(p));
                if (rng() % 4 == 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300));
            }
            order.finish(*parts[static_cast<std::size_t>(p)]);
        });
    for (std::thread& t : threads)
        t.join();
    ASSERT_EQ(out.rows.count(), kParts * 50);
    for (int i = 0; i < kParts * 50; ++i)
        EXPECT_EQ(out.rows.at(kParts * 50 - 1 - i).cell(Column::Name), std::to_string(i / 50) + "." + std::to_string(i % 50));
    // A part that waited kept only its latest text between two rows; none was lost at the end.
    EXPECT_EQ(out.statuses.back(), "part " + std::to_string(kParts - 1));
}

// Workgroups of computers with shares of a few folders and files; listings take a
// little time that differs from folder to folder, so that computers searched at once
// end in any order.
struct ScriptedLan {
    MemoryFileSystem files;
    std::function<void(const std::string&)> onList;
    std::set<std::string> unreachable; // computers whose share list fails
    // Lists' late entries (what a discovery round adds), by key, and what they wait for.
    std::map<std::string, std::vector<NetResource>> late;
    std::function<void()> waitForLate;

    ScriptedLan()
    {
        for (int w = 0; w < 3; ++w)
            for (int c = 0; c < 5; ++c)
                for (const char* share : {"docs", "lp", "data"})
                    for (int d = 0; d < 3; ++d) {
                        const std::string folder = "\\\\PC" + std::to_string(w) + std::to_string(c) + "\\" + share +
                                                   (d ? "\\sub" + std::to_string(d) : "");
                        files.addFile(folder, memoryFile("report" + std::to_string(d) + ".txt", 100 * d));
                        files.addFile(folder, memoryFile("notes.md"));
                    }
        files.onList = [this](const std::string& path) {
            std::this_thread::sleep_for(std::chrono::microseconds(std::hash<std::string>{}(path) % 700));
            if (onList)
                onList(path);
        };
    }

    std::unique_ptr<ScriptedNetwork> network() const
    {
        auto net = std::make_unique<ScriptedNetwork>();
        for (int w = 0; w < 3; ++w) {
            std::map<std::string, std::vector<std::string>> computers;
            for (int c = 0; c < 5; ++c)
                computers["PC" + std::to_string(w) + std::to_string(c)] = {"docs", "lp", "data"};
            net->addWorkgroup("GROUP" + std::to_string(w), computers);
        }
        net->failingOpens = unreachable;
        for (const auto& [key, entries] : late)
            net->setLateChildren(key, entries);
        net->waitForLate = waitForLate;
        return net;
    }
};

struct ParallelSearch {
    SearchCriteria criteria;
    SearchState state;
    RecordingSink sink;
    StopRequest stop;
    FakeFileTypes types;
    std::atomic<int> helpersMade{0};
    std::atomic<int> aborts{0};
    bool completed = false;
    std::shared_ptr<const ComputerListCache> lastComputers;

    void run(ScriptedLan& lan, const std::string& place, int jobs, const std::string& name = "report;notes", int type = 0)
    {
        runOn([&] { return lan.network(); }, lan, place, jobs, name, type);
    }

    void runOn(const std::function<std::unique_ptr<ScriptedNetwork>()>& network, ScriptedLan& lan,
               const std::string& place, int jobs, const std::string& name = "report;notes", int type = 0)
    {
        SearchFormValues form;
        form.nameText = name;
        form.typeIndex = type;
        SearchHistories histories;
        CriteriaReader::read(form, SearchPlace::fromText(place), criteria, histories);
        const std::unique_ptr<ScriptedNetwork> net = network();
        auto shareFiles = std::shared_ptr<FileSystem>(&lan.files, [](FileSystem*) {});
        ComputerPool::HelperMaker makeHelper = [&] {
            ++helpersMade;
            ComputerPool::Helper helper;
            helper.enumerator = network();
            helper.shareFiles = shareFiles;
            helper.abort = [this] { ++aborts; };
            return helper;
        };
        NetworkWalk walk({*net, lan.files, types, sink, stop, jobs, makeHelper, lastComputers});
        SearchRunner runner({lan.files, &lan.files, &walk, types, sink, stop});
        completed = runner.run(criteria, SearchTarget::of(SearchPlace::fromText(place)), state);
        EXPECT_EQ(net->openEnumerations(), 0);
    }

    // "place: reason" of every place that could not be searched, in the order told.
    Strings failures() const
    {
        Strings out;
        for (const PlaceFailure& failure : sink.failures)
            out.push_back(failure.place + ": " + failure.reason);
        return out;
    }

    // Every cell and the image of every row, oldest first.
    Strings rows() const
    {
        Strings out;
        for (std::int64_t i = sink.rows.count() - 1; i >= 0; --i) {
            const ResultRow& r = sink.rows.at(i);
            std::string line = std::to_string(r.image);
            for (const std::string& cell : r.cells)
                line += "|" + cell;
            out.push_back(line);
        }
        return out;
    }
};

} // namespace

TEST(ParallelWalk, SameRowsInTheSameOrderAsOneComputerAfterTheOther)
{
    ScriptedLan lan;
    for (const auto& [place, type] : std::vector<std::pair<std::string, int>>{{"", 0}, {"GROUP1", 0}, {"", 2}, {"", 1}}) {
        SCOPED_TRACE("place '" + place + "', type " + std::to_string(type));
        ParallelSearch one;
        one.run(lan, place, 1, "report;notes;pc0;lp", type);
        ASSERT_TRUE(one.completed);
        ASSERT_GT(one.rows().size(), 20u);
        EXPECT_EQ(one.helpersMade.load(), 0) << "one job walks on the search's own helper";
        for (int jobs : {2, 4, 16}) {
            ParallelSearch many;
            many.run(lan, place, jobs, "report;notes;pc0;lp", type);
            EXPECT_TRUE(many.completed);
            EXPECT_EQ(many.rows(), one.rows()) << jobs << " jobs";
            EXPECT_EQ(many.state.foundCount.load(), one.state.foundCount.load());
            EXPECT_EQ(many.sink.statuses.back(), one.sink.statuses.back()) << "the count text comes last";
            EXPECT_LE(many.helpersMade.load(), jobs);
        }
    }
}

TEST(ParallelWalk, ComputersFoundLateAreSearchedInTheirPlaceWhileTheWalkGoesOn)
{
    // A discovery round adds two computers to GROUP0 and a workgroup of its own after
    // the browse lists; the round ends only once the walk has reached GROUP2.
    ScriptedLan lan;
    lan.late["GROUP0"] = {{"\\\\LATE01", true, false}, {"\\\\LATE02", true, false}};
    lan.late["entry:SMB"] = {{"GROUP9", true, false}};
    for (const char* computer : {"LATE01", "LATE02", "LATE91"})
        lan.files.addFile("\\\\" + std::string(computer) + "\\docs", memoryFile("report-late.txt"));
    std::mutex mutex;
    std::condition_variable changed;
    bool roundEnded = false;
    bool waitedInVain = false; // the round ended by its bound, not by the walk
    lan.waitForLate = [&] {
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, 5s, [&] { return roundEnded; }))
            waitedInVain = true;
    };
    auto network = [&] {
        std::unique_ptr<ScriptedNetwork> net = lan.network();
        net->setChildren("\\\\LATE01", {{"\\\\LATE01\\docs", false, false}});
        net->setChildren("\\\\LATE02", {{"\\\\LATE02\\docs", false, false}});
        net->setChildren("GROUP9", {{"\\\\LATE91", true, false}});
        net->setChildren("\\\\LATE91", {{"\\\\LATE91\\docs", false, false}});
        return net;
    };
    // One job: the walk waits for the round where the list ends, so it ends at once.
    roundEnded = true;
    ParallelSearch one;
    one.runOn(network, lan, "", 1);
    ASSERT_TRUE(one.completed);
    const Strings rows = one.rows();
    const auto at = [&](const std::string& text) {
        return std::find_if(rows.begin(), rows.end(), [&](const std::string& r) { return r.find(text) != std::string::npos; }) - rows.begin();
    };
    ASSERT_LT(at("\\\\LATE02\\docs"), at("\\\\PC10\\")) << "late computers come at the end of their workgroup";
    ASSERT_LT(at("\\\\PC24\\"), at("\\\\LATE91\\docs"));

    lan.onList = [&](const std::string& path) {
        if (path.rfind("\\\\PC2", 0) == 0) {
            std::lock_guard lock(mutex);
            roundEnded = true;
            changed.notify_all();
        }
    };
    for (int jobs : {2, 4}) {
        roundEnded = false;
        waitedInVain = false;
        ParallelSearch many;
        many.runOn(network, lan, "", jobs);
        EXPECT_TRUE(many.completed);
        EXPECT_EQ(many.rows(), rows) << jobs << " jobs";
        EXPECT_FALSE(waitedInVain) << "the walk went on to GROUP2 while the round ran";
    }
}

TEST(ParallelWalk, ComputersOfTheLastWalkAreSearchedWhileTheListsComeAndKeptOnlyWhereTheWalkGoes)
{
    ScriptedLan lan;
    char folder[] = "/tmp/qv-lastwalk-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/computers.tsv";
    auto cache = std::make_shared<ComputerListCache>(path);

    ParallelSearch one;
    one.lastComputers = cache;
    one.run(lan, "", 1);
    ASSERT_TRUE(one.completed);
    const std::vector<ComputerListCache::Entry> walked = cache->load();
    ASSERT_EQ(walked.size(), 15u) << "the walk keeps the computers it went to";
    EXPECT_EQ(walked.front().workgroup + walked.front().computer, "GROUP0\\\\PC00");
    EXPECT_EQ(walked.back().workgroup + walked.back().computer, "GROUP2\\\\PC24");

    // What the last walk went to no longer fits: a computer that is gone, one that
    // moved to another workgroup, one that comes last now. The walk's lists wait until
    // a helper has reached the last one.
    ASSERT_TRUE(cache->save({{"GROUP2", "\\\\PC24"}, {"GROUP0", "\\\\GONE"}, {"GROUP1", "\\\\PC00"}, {"GROUP0", "\\\\PC01"}}));
    std::mutex mutex;
    std::condition_variable changed;
    bool reachedAhead = false;
    std::atomic<int> made{0}; // the walk's network first, then the helpers', from their threads
    auto network = [&] {
        std::unique_ptr<ScriptedNetwork> net = lan.network();
        if (made++ == 0) {
            net->onOpen = [&](const std::string&) {
                std::unique_lock lock(mutex);
                changed.wait_for(lock, 5s, [&] { return reachedAhead; });
            };
        } else {
            net->onOpen = [&](const std::string& key) {
                if (key == "\\\\PC24") {
                    std::lock_guard lock(mutex);
                    reachedAhead = true;
                    changed.notify_all();
                }
            };
        }
        return net;
    };
    ParallelSearch many;
    many.lastComputers = cache;
    many.runOn(network, lan, "", 4);
    EXPECT_TRUE(many.completed);
    EXPECT_TRUE(reachedAhead) << "a computer of the last walk was searched before the lists came";
    EXPECT_EQ(many.rows(), one.rows());
    EXPECT_EQ(many.failures(), one.failures()) << "the computer that is gone is not told";
    EXPECT_EQ(many.state.foundCount.load(), one.state.foundCount.load()) << "dropped rows are not counted";
    EXPECT_EQ(many.sink.statuses.back(), one.sink.statuses.back());
    EXPECT_EQ(cache->load().size(), 15u);

    // A workgroup's walk starts with the workgroup's computers of the last walk, and
    // puts what it went to in their place.
    ASSERT_TRUE(cache->save({{"GROUP0", "\\\\PC00"}, {"group1", "\\\\PC13"}, {"group1", "\\\\OLD"}, {"GROUP2", "\\\\PC20"}}));
    ParallelSearch group;
    group.run(lan, "GROUP1", 1);
    ParallelSearch groupAhead;
    groupAhead.lastComputers = cache;
    groupAhead.run(lan, "GROUP1", 4);
    EXPECT_EQ(groupAhead.rows(), group.rows());
    EXPECT_EQ(groupAhead.state.foundCount.load(), group.state.foundCount.load());
    Strings kept;
    for (const ComputerListCache::Entry& entry : cache->load())
        kept.push_back(entry.workgroup + entry.computer);
    EXPECT_EQ(kept, (Strings{"GROUP0\\\\PC00", "GROUP1\\\\PC10", "GROUP1\\\\PC11", "GROUP1\\\\PC12",
                             "GROUP1\\\\PC13", "GROUP1\\\\PC14", "GROUP2\\\\PC20"}));
    std::filesystem::remove_all(folder);
}

TEST(ParallelWalk, WorkersWithNoComputerLeftListTheFoldersOfTheOthersAhead)
{
    // GROUP1's first computer holds a share of many folders; the other computers are
    // done long before it.
    ScriptedLan lan;
    const std::string big = "\\\\PC10\\data";
    for (int d = 0; d < 60; ++d) {
        const std::string folder = big + "\\many" + std::to_string(d);
        lan.files.addFile(folder, memoryFile("report-many.txt"));
        lan.files.addFile(folder + "\\inner", memoryFile("notes.md"));
    }
    ParallelSearch one;
    one.run(lan, "GROUP1", 1);
    ASSERT_TRUE(one.completed);
    std::mutex mutex;
    std::set<std::thread::id> listers;
    lan.onList = [&](const std::string& path) {
        if (path.rfind(big + "\\", 0) == 0) {
            std::lock_guard lock(mutex);
            listers.insert(std::this_thread::get_id());
        }
    };
    ParallelSearch many;
    many.run(lan, "GROUP1", 4);
    EXPECT_TRUE(many.completed);
    EXPECT_EQ(many.rows(), one.rows());
    EXPECT_GT(listers.size(), 1u) << "only the computer's own worker listed its folders";
    EXPECT_LE(many.helpersMade.load(), 4);
}

// Places that fail inside the walk of one computer reach the sink from its worker, in
// the walk's order among its rows, whatever the number of computers searched at once.
TEST(ParallelWalk, PlacesThatFailAreToldInTheOrderOfTheWalk)
{
    ScriptedLan lan;
    lan.unreachable = {"\\\\PC03", "\\\\PC21"};
    lan.files.unreadableFolders = {"\\\\PC11\\data\\sub2", "\\\\PC12\\docs"};
    ParallelSearch one;
    one.run(lan, "", 1);
    ASSERT_TRUE(one.completed);
    const Strings expected{"\\\\PC03: the computer cannot be reached", "\\\\PC11\\data\\sub2: access denied",
                           "\\\\PC12\\docs: access denied", "\\\\PC21: the computer cannot be reached"};
    EXPECT_EQ(one.failures(), expected);
    for (int jobs : {4, 16}) {
        ParallelSearch many;
        many.run(lan, "", jobs);
        EXPECT_TRUE(many.completed);
        EXPECT_EQ(many.failures(), expected) << jobs << " jobs";
        EXPECT_EQ(many.rows(), one.rows()) << jobs << " jobs";
        EXPECT_FALSE(many.state.placeFailed.load());
        EXPECT_EQ(many.sink.statuses.back(), one.sink.statuses.back()) << "the count text comes last";
    }
}

// An error raised in a worker's computer search ended that computer in silence: it
// still ends only that computer, and now it is told.
TEST(ParallelWalk, ErrorInOneComputersSearchEndsOnlyThatComputer)
{
    ScriptedLan lan;
    lan.onList = [](const std::string& path) {
        if (path == "\\\\PC12\\docs")
            throw std::runtime_error("no memory");
    };
    ParallelSearch many;
    many.run(lan, "", 4);
    EXPECT_TRUE(many.completed);
    ASSERT_EQ(many.failures(), Strings{"\\\\PC12: its search ended on an error: no memory"});
    EXPECT_EQ(many.sink.failures[0].kind, PlaceFailure::Kind::Computer);
    // Every other computer was searched: PC13's rows are there.
    bool pc13 = false;
    for (const std::string& row : many.rows())
        pc13 = pc13 || row.find("\\\\PC13\\") != std::string::npos;
    EXPECT_TRUE(pc13);
}

TEST(ParallelWalk, StopEndsEveryHelpersWalkAndKeepsWhatWasFound)
{
    ScriptedLan lan;
    ParallelSearch search;
    std::atomic<int> listings{0};
    lan.onList = [&](const std::string&) {
        if (++listings == 30)
            search.stop.request();
    };
    search.run(lan, "", 4);
    EXPECT_FALSE(search.completed);
    EXPECT_LT(listings.load(), 30 + 4 * 3) << "each helper ends within a step or so";
    EXPECT_EQ(search.aborts.load(), search.helpersMade.load()) << "every helper was aborted once";
    EXPECT_GT(search.sink.rows.count(), 0) << "rows found before the stop are kept";
    EXPECT_NE(search.sink.statuses.back().find("個見つかりました"), std::string::npos);
}

TEST(ParallelWalk, PauseHoldsEveryHelper)
{
    ScriptedLan lan;
    ParallelSearch search;
    std::atomic<int> listings{0};
    std::atomic<bool> paused{false};
    std::atomic<int> whilePaused{0};
    std::thread resumer;
    lan.onList = [&](const std::string&) {
        if (paused)
            ++whilePaused;
        if (++listings == 20) {
            search.stop.pause();
            paused = true;
            resumer = std::thread([&] {
                std::this_thread::sleep_for(150ms);
                paused = false;
                search.stop.resume();
            });
        }
    };
    search.run(lan, "", 4);
    resumer.join();
    EXPECT_TRUE(search.completed);
    // The helpers that were inside a listing when the pause came finish it; then they hold.
    EXPECT_LE(whilePaused.load(), 4);
}
