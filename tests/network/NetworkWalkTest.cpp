// The network-wide walk over a scripted network whose shares live in memory.
#include "network/NetworkWalk.h"
#include "search/CriteriaReader.h"
#include "search/SearchRunner.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"
#include "tests/support/FakeFileTypes.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/ScriptedNetwork.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

using Strings = std::vector<std::string>;

FileEntry file(const std::string& name, std::int64_t size = 0, std::int64_t time = 1000000000)
{
    return memoryFile(name, size, time);
}

// Two workgroups, three computers, disk and printer shares, files in the shares.
struct Lan {
    ScriptedNetwork net;
    MemoryFileSystem files;

    Lan()
    {
        net.addWorkgroup("Sales", {{"ALPHA", {"public", "lp"}}, {"BETA", {"docs"}}});
        net.addWorkgroup("Office", {{"GAMMA", {"data"}}});
        files.addFile("\\\\ALPHA\\public", file("report.txt"));
        files.addFile("\\\\ALPHA\\public\\old", file("notes.txt"));
        files.addFile("\\\\BETA\\docs", file("plan.doc"));
        files.addFile("\\\\GAMMA\\data", file("report.csv"));
    }
};

struct Search {
    SearchCriteria criteria;
    SearchState state;
    RecordingSink sink;
    StopRequest stop;
    FakeFileTypes types;
    bool result = false;

    Search(Lan& lan, const std::string& place, const std::string& name, int type, bool subFolders = true)
    {
        SearchFormValues form;
        form.nameText = name;
        form.typeIndex = type;
        form.subFolders = subFolders ? CheckState::Checked : CheckState::Unchecked;
        SearchHistories histories;
        CriteriaReader::read(form, SearchPlace::fromText(place), criteria, histories);
        NetworkWalk walk({lan.net, lan.files, types, sink, stop});
        SearchRunner runner({lan.files, &lan.files, &walk, types, sink, stop});
        result = runner.run(criteria, SearchTarget::of(SearchPlace::fromText(place)), state);
    }

    // "Name|Path|Type|image|Match", oldest first.
    Strings rows() const
    {
        Strings out;
        for (std::int64_t i = sink.rows.count() - 1; i >= 0; --i) {
            const ResultRow& r = sink.rows.at(i);
            out.push_back(r.cell(Column::Name) + "|" + r.cell(Column::Path) + "|" + r.cell(Column::Type) + "|" +
                          std::to_string(r.image) + "|" + r.cell(Column::Match));
        }
        return out;
    }
};

void expectAllReleased(const ScriptedNetwork& net)
{
    EXPECT_EQ(net.liveBlocks(), 0);
    EXPECT_EQ(net.openEnumerations(), 0);
    EXPECT_EQ(net.misuses, 0);
}

constexpr int kAll = 0, kFiles = 1, kShares = 2, kComputers = 3, kGroups = 4, kPrinters = 5;

} // namespace

TEST(NetworkWalk, EntireNetworkGoesDepthFirstInDeliveryOrder)
{
    Lan lan;
    Search s(lan, "", "", kAll);
    EXPECT_TRUE(s.result);
    EXPECT_EQ(s.rows(), (Strings{
                            "SALES||グループ|5|",
                            "\\\\ALPHA|Sales|コンピューター|4|",
                            "\\\\ALPHA\\PUBLIC|Sales\\\\ALPHA|共有フォルダ|3|",
                            "report.txt|\\\\ALPHA\\public|txt file|10|",
                            "old|\\\\ALPHA\\public|フォルダ|0|",
                            "notes.txt|\\\\ALPHA\\public\\old|txt file|10|",
                            "\\\\ALPHA\\LP|Sales\\\\ALPHA|プリンター|9|",
                            "\\\\BETA|Sales|コンピューター|4|",
                            "\\\\BETA\\DOCS|Sales\\\\BETA|共有フォルダ|3|",
                            "plan.doc|\\\\BETA\\docs|doc file|11|",
                            "OFFICE||グループ|5|",
                            "\\\\GAMMA|Office|コンピューター|4|",
                            "\\\\GAMMA\\DATA|Office\\\\GAMMA|共有フォルダ|3|",
                            "report.csv|\\\\GAMMA\\data|csv file|12|",
                        }));
    EXPECT_EQ(s.state.foundCount.load(), 14);
    EXPECT_EQ(s.sink.statuses.front(), "ネットワーク全体を検索 ...");
    EXPECT_NE(std::find(s.sink.statuses.begin(), s.sink.statuses.end(), "ワークグループを検索 Sales ..."), s.sink.statuses.end());
    EXPECT_NE(std::find(s.sink.statuses.begin(), s.sink.statuses.end(), "コンピューターを検索Sales\\\\BETA ..."), s.sink.statuses.end());
    EXPECT_NE(std::find(s.sink.statuses.begin(), s.sink.statuses.end(), "共有フォルダを検索Office\\\\GAMMA\\data ..."), s.sink.statuses.end());
    EXPECT_EQ(s.sink.statuses.back(), "14個見つかりました");
    expectAllReleased(lan.net);
}

TEST(NetworkWalk, TypeSelectionDecidesDepthAndRows)
{
    Lan lan;
    Search groups(lan, "", "", kGroups);
    EXPECT_EQ(groups.rows(), (Strings{"SALES||グループ|5|", "OFFICE||グループ|5|"}));
    EXPECT_EQ(std::count(lan.net.opened.begin(), lan.net.opened.end(), "Sales"), 0) << "walk depth 0 lists no workgroup";

    Lan lan2;
    Search c(lan2, "", "", kComputers);
    EXPECT_EQ(c.rows(), (Strings{"\\\\ALPHA|Sales|コンピューター|4|", "\\\\BETA|Sales|コンピューター|4|",
                                  "\\\\GAMMA|Office|コンピューター|4|"}));

    Lan lan3;
    Search printers(lan3, "", "", kPrinters);
    EXPECT_EQ(printers.rows(), Strings{"\\\\ALPHA\\LP|Sales\\\\ALPHA|プリンター|9|"});

    // Without the printer bit a printer share counts as a shared folder.
    Lan lan4;
    Search shares(lan4, "Sales", "", kShares);
    EXPECT_EQ(shares.rows(), (Strings{"\\\\ALPHA\\PUBLIC|Sales\\\\ALPHA|共有フォルダ|3|",
                                       "\\\\ALPHA\\LP|Sales\\\\ALPHA|共有フォルダ|3|",
                                       "\\\\BETA\\DOCS|Sales\\\\BETA|共有フォルダ|3|"}));

    // Files and folders only: no network name is reported, every share is searched.
    Lan lan5;
    Search files(lan5, "", "report", kFiles);
    EXPECT_EQ(files.rows(), (Strings{"report.txt|\\\\ALPHA\\public|txt file|10|REPORT",
                                      "report.csv|\\\\GAMMA\\data|csv file|11|REPORT"}));
    for (const Lan* l : {&lan, &lan2, &lan3, &lan4, &lan5})
        expectAllReleased(l->net);
}

TEST(NetworkWalk, SubFoldersOffListsOnlyTheChosenLevel)
{
    Lan lan;
    Search s(lan, "", "", kAll, false);
    EXPECT_EQ(s.rows(), (Strings{"SALES||グループ|5|", "OFFICE||グループ|5|"}));
    EXPECT_EQ(std::count(lan.net.opened.begin(), lan.net.opened.end(), "Sales"), 0);
    expectAllReleased(lan.net);
}

TEST(NetworkWalk, NameMatchingTwoPartsGivesTwoRows)
{
    Lan lan;
    Search s(lan, "Sales", "alp;pha", kComputers);
    EXPECT_EQ(s.rows(), (Strings{"\\\\ALPHA|Sales|コンピューター|4|ALP", "\\\\ALPHA|Sales|コンピューター|4|PHA"}));
    // Wildcards: "*" is dropped and "?" is any one character.
    Lan lan2;
    Search w(lan2, "Sales", "*b?ta", kComputers);
    EXPECT_EQ(w.rows(), Strings{"\\\\BETA|Sales|コンピューター|4|*B?TA"});
}

TEST(NetworkWalk, ComputerPlaceHasNoWorkgroupInPathOrStatus)
{
    Lan lan;
    Search s(lan, "\\\\BETA", "", kShares);
    EXPECT_EQ(s.rows(), Strings{"\\\\BETA\\DOCS|\\\\BETA|共有フォルダ|3|"});
    EXPECT_EQ(s.sink.statuses.front(), "コンピューターを検索\\\\BETA ...");
}

TEST(NetworkWalk, SharePlaceRunsTheFolderWalk)
{
    Lan lan;
    Search s(lan, "\\\\ALPHA\\public", "*.txt", kAll);
    EXPECT_EQ(s.rows(), (Strings{"report.txt|\\\\ALPHA\\public|txt file|10|*.TXT",
                                  "notes.txt|\\\\ALPHA\\public\\old|txt file|10|*.TXT"}));
    EXPECT_EQ(s.sink.statuses.front(), "共有フォルダを検索\\\\ALPHA\\public ...");
    EXPECT_TRUE(lan.net.opened.empty());
}

TEST(NetworkWalk, UnreachableContainersArePassedOverAndTold)
{
    Lan lan;
    lan.net.failingOpens.insert("\\\\ALPHA");
    lan.net.failingOpens.insert("Office");
    lan.files.unreadableFolders.insert("\\\\BETA\\docs");
    Search s(lan, "", "", kAll);
    EXPECT_TRUE(s.result);
    EXPECT_EQ(s.rows(), (Strings{"SALES||グループ|5|", "\\\\ALPHA|Sales|コンピューター|4|", "\\\\BETA|Sales|コンピューター|4|",
                                  "\\\\BETA\\DOCS|Sales\\\\BETA|共有フォルダ|3|", "OFFICE||グループ|5|"}));
    expectAllReleased(lan.net);
    // Each in the walk's order, none as the search's own place: the count still ends it.
    Strings failures;
    for (const PlaceFailure& f : s.sink.failures) {
        failures.push_back(f.place + ": " + f.reason);
        EXPECT_FALSE(f.searchPlace) << f.place;
    }
    EXPECT_EQ(failures, (Strings{"\\\\ALPHA: the computer cannot be reached", "\\\\BETA\\docs: access denied",
                                 "Office: the computer cannot be reached"}));
    EXPECT_EQ(s.sink.failures[0].kind, PlaceFailure::Kind::Computer);
    EXPECT_EQ(s.sink.failures[1].kind, PlaceFailure::Kind::Share);
    EXPECT_EQ(s.sink.failures[2].kind, PlaceFailure::Kind::Workgroup);
    EXPECT_EQ(s.sink.statuses.back(), "5個見つかりました");
}

TEST(NetworkWalk, PrinterShareWalkedLikeAShareIsNoFailure)
{
    Lan lan; // ALPHA's "lp" holds no folders the file system could list
    Search s(lan, "\\\\ALPHA", "", kAll);
    EXPECT_TRUE(s.result);
    EXPECT_TRUE(s.sink.failures.empty()) << s.sink.failures.front().place;
    // A printer share given as the place is told all the same: nothing could be searched.
    Search printer(lan, "\\\\ALPHA\\lp", "", kAll);
    ASSERT_EQ(printer.sink.failures.size(), 1u);
    EXPECT_TRUE(printer.sink.failures[0].searchPlace);
}

// A computer, workgroup or share place that could not be reached ended like a search
// that found nothing: "0個見つかりました".
TEST(NetworkWalk, PlaceItselfUnreachableIsToldInsteadOfACount)
{
    Lan lan;
    lan.net.failingOpens.insert("\\\\ALPHA");
    lan.net.failingOpens.insert("Office");
    lan.files.unreadableFolders.insert("\\\\BETA\\docs");
    const std::pair<std::string, std::string> places[] = {
        {"\\\\ALPHA", "the computer cannot be reached"},
        {"Office", "the computer cannot be reached"},
        {"\\\\BETA\\docs", "access denied"},
        {"\\\\GAMMA\\nothing", "no such share, or no computer of that name"},
        {"\\\\NOBODY", "no computer of that name was found"},
    };
    for (const auto& [place, reason] : places) {
        Search s(lan, place, "", kAll);
        EXPECT_TRUE(s.result) << place;
        ASSERT_EQ(s.sink.failures.size(), 1u) << place;
        EXPECT_EQ(s.sink.failures[0].place, place);
        EXPECT_EQ(s.sink.failures[0].reason, reason);
        EXPECT_TRUE(s.sink.failures[0].searchPlace);
        EXPECT_TRUE(s.state.placeFailed.load());
        for (const std::string& text : s.sink.statuses)
            EXPECT_EQ(text.find("個見つかりました"), std::string::npos) << place << ": " << text;
        expectAllReleased(lan.net);
    }
}

TEST(NetworkWalk, NoNetworkAddsNothing)
{
    ScriptedNetwork net;
    net.failingOpens.insert("");
    MemoryFileSystem files;
    FakeFileTypes types;
    RecordingSink sink;
    StopRequest stop;
    SearchCriteria criteria;
    SearchHistories histories;
    CriteriaReader::read({}, {}, criteria, histories);
    SearchState state;
    NetworkWalk walk({net, files, types, sink, stop});
    EXPECT_TRUE(walk.walk(criteria, {}, state));
    EXPECT_EQ(sink.rows.count(), 0);
    expectAllReleased(net);
    // Nothing was searched: the entire network itself failed.
    ASSERT_EQ(sink.failures.size(), 1u);
    EXPECT_EQ(sink.failures[0].place, "ネットワーク全体");
    EXPECT_EQ(sink.failures[0].kind, PlaceFailure::Kind::Network);
    EXPECT_TRUE(sink.failures[0].searchPlace);
}

TEST(NetworkWalk, StopClosesEveryEnumerationOnTheWayUp)
{
    Lan lan;
    StopRequest* stopOfSearch = nullptr;
    lan.net.onOpen = [&](const std::string& key) {
        if (key == "\\\\BETA" && stopOfSearch)
            stopOfSearch->request();
    };
    SearchCriteria criteria;
    SearchHistories histories;
    CriteriaReader::read({}, {}, criteria, histories);
    SearchState state;
    RecordingSink sink;
    StopRequest stop;
    stopOfSearch = &stop;
    FakeFileTypes types;
    NetworkWalk walk({lan.net, lan.files, types, sink, stop});
    EXPECT_FALSE(walk.walk(criteria, {}, state));
    // The share list of BETA still comes; its share is not entered, nothing after it is listed.
    EXPECT_EQ(lan.net.opened.back(), "\\\\BETA");
    EXPECT_EQ(sink.rows.at(0).cell(Column::Name), "\\\\BETA\\DOCS");
    expectAllReleased(lan.net);
}

TEST(NetworkWalk, ErrorInsideAStepEndsOnlyThatStep)
{
    Lan lan;
    SearchCriteria criteria;
    SearchHistories histories;
    CriteriaReader::read({}, {}, criteria, histories);
    SearchState state;
    RecordingSink sink;
    sink.onRow = [&] {
        if (sink.rows.count() == 2) // the first computer row of Sales
            throw std::runtime_error("no memory");
    };
    StopRequest stop;
    FakeFileTypes types;
    NetworkWalk walk({lan.net, lan.files, types, sink, stop});
    EXPECT_TRUE(walk.walk(criteria, {}, state));
    // Sales' computer list ended at the error; Office is walked all the same.
    Strings names;
    for (std::int64_t i = sink.rows.count() - 1; i >= 0; --i)
        names.push_back(sink.rows.at(i).cell(Column::Name));
    EXPECT_EQ(names, (Strings{"SALES", "\\\\ALPHA", "OFFICE", "\\\\GAMMA", "\\\\GAMMA\\DATA", "report.csv"}));
    expectAllReleased(lan.net);
    // The error was swallowed; now the workgroup whose list it ended is told.
    ASSERT_EQ(sink.failures.size(), 1u);
    EXPECT_EQ(sink.failures[0].place, "Sales");
    EXPECT_EQ(sink.failures[0].reason, "its search ended on an error: no memory");
    EXPECT_FALSE(sink.failures[0].searchPlace);
}
