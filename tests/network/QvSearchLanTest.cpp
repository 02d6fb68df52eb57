// qvsearch against the Samba test LAN, run in the LAN's client namespace.
// Skipped unless run as root with the LAN up (tests/lan/up).
#include "tests/support/ProcessRun.h"
#include "tests/support/TsvCells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qv::test;

namespace {

const std::string kLanDir = std::string(QV_SOURCE_DIR) + "/tests/lan";
const std::string kUser = "qvtest%Qv-Test.2024";

bool lanIsUp()
{
    struct stat st {};
    const char* run = std::getenv("QVLAN_RUN");
    const std::string ready = std::string(run ? run : "/run/qvlan") + "/ready";
    return geteuid() == 0 && stat(ready.c_str(), &st) == 0;
}

// Each test starts with an empty discovery cache of its own.
std::string g_cacheHome;

// qvsearch in the LAN's client namespace, with discovery on (only there) unless the
// test says otherwise.
ProcessResult qvsearchWith(const std::vector<std::string>& environment, std::vector<std::string> args,
                           int interruptAfterMs = 0)
{
    std::vector<std::string> argv{kLanDir + "/exec", "/usr/bin/env", "XDG_CACHE_HOME=" + g_cacheHome};
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.push_back(QVSEARCH_PATH);
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, interruptAfterMs);
}

ProcessResult qvsearch(std::vector<std::string> args, int interruptAfterMs = 0)
{
    return qvsearchWith({"QV_DISCOVERY=1"}, std::move(args), interruptAfterMs);
}

// The script's output goes to /dev/null rather than a pipe: the servers it starts
// would hold a pipe open for as long as they run.
int lanScript(const std::string& script, const std::vector<std::string>& args)
{
    std::string command = "'" + kLanDir + "/" + script + "'";
    for (const std::string& a : args)
        command += " '" + a + "'";
    command += " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// "name|path|type" of each row, in output order.
std::vector<std::string> rows(const ProcessResult& r)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < r.out.size()) {
        const std::size_t end = r.out.find('\n', start);
        const std::string line = r.out.substr(start, end - start);
        start = end == std::string::npos ? r.out.size() : end + 1;
        std::vector<std::string> cells = tsvCells(line);
        cells.resize(9);
        out.push_back(cells[0] + "|" + cells[1] + "|" + cells[3]);
    }
    return out;
}

bool hasRow(const std::vector<std::string>& list, const std::string& row)
{
    return std::find(list.begin(), list.end(), row) != list.end();
}

class QvSearchLan : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!lanIsUp())
            GTEST_SKIP() << "the Samba test LAN is not up (run tests/lan/up as root)";
        setenv("TZ", "UTC", 1);
        char folder[] = "/tmp/qvsearch-lan-cache-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        g_cacheHome = folder;
    }
    void TearDown() override
    {
        if (!g_cacheHome.empty())
            std::system(("rm -rf '" + g_cacheHome + "'").c_str());
        g_cacheHome.clear();
    }
};

} // namespace

TEST_F(QvSearchLan, EntireNetworkReportsEveryKindAndLeavesHiddenSharesOut)
{
    const ProcessResult r = qvsearch({"ネットワーク全体"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto list = rows(r);
    EXPECT_TRUE(hasRow(list, "QVGROUP1||グループ"));
    EXPECT_TRUE(hasRow(list, "QVGROUP2||グループ"));
    EXPECT_TRUE(hasRow(list, "\\\\QVHOST2|QVGROUP1|コンピューター"));
    EXPECT_TRUE(hasRow(list, "\\\\QVFILER3\\ARCHIVE|QVGROUP2\\\\QVFILER3|共有フォルダ"));
    EXPECT_TRUE(hasRow(list, "\\\\QVHOST1\\QVPRINTER|QVGROUP1\\\\QVHOST1|プリンター"));
    EXPECT_TRUE(hasRow(list, "古い資料.txt|\\\\QVFILER3\\archive\\2019|平文テキストドキュメント")) << r.out;
    for (const std::string& row : list) {
        EXPECT_EQ(row.find('$'), std::string::npos) << row;
        EXPECT_EQ(row.find("IPC"), std::string::npos) << row;
    }
    // The share that refuses guests is listed, but nothing inside it is, and it is
    // counted at the end; the printer share, which holds no folders, is not.
    EXPECT_TRUE(hasRow(list, "\\\\QVHOST1\\SECRET|QVGROUP1\\\\QVHOST1|共有フォルダ"));
    EXPECT_EQ(r.out.find("社外秘"), std::string::npos);
    EXPECT_EQ(r.err, "1 share could not be read\n" + std::to_string(list.size()) + "個見つかりました\n");
}

TEST_F(QvSearchLan, TypeSelectionsOnEveryKindOfPlace)
{
    // The browse list's workgroups in its order, then those only discovery knows, by name.
    EXPECT_EQ(rows(qvsearch({"-t", "4", ""})),
              (std::vector<std::string>{"QVGROUP1||グループ", "QVGROUP2||グループ", "LOCAL||グループ",
                                        "LONEGROUP||グループ", "WSDGROUP||グループ"}));
    EXPECT_EQ(rows(qvsearch({"-t", "3", "QVGROUP2"})), std::vector<std::string>{"\\\\QVFILER3|QVGROUP2|コンピューター"});
    EXPECT_EQ(rows(qvsearch({"-t", "5", ""})),
              std::vector<std::string>{"\\\\QVHOST1\\QVPRINTER|QVGROUP1\\\\QVHOST1|プリンター"});
    // Without the printer bit the printer share is a shared folder; a computer place
    // has no workgroup in the Path cell.
    const auto shares = rows(qvsearch({"-t", "2", "\\\\QVHOST1"}));
    EXPECT_EQ(shares, (std::vector<std::string>{"\\\\QVHOST1\\PUBLIC|\\\\QVHOST1|共有フォルダ",
                                                "\\\\QVHOST1\\SECRET|\\\\QVHOST1|共有フォルダ",
                                                "\\\\QVHOST1\\QVPRINTER|\\\\QVHOST1|共有フォルダ"}));
    const auto files = rows(qvsearch({"-t", "1", "-n", "notes", "\\\\QVHOST2"}));
    EXPECT_EQ(files.size(), 2u);
    for (const auto& row : files)
        EXPECT_EQ(row.rfind("notes.txt|\\\\QVHOST2\\public\\projects\\", 0), 0u) << row;
    // A place deeper than the type reaches walks nothing.
    const ProcessResult none = qvsearch({"-t", "3", "\\\\QVHOST1\\public"});
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "0個見つかりました\n");
}

TEST_F(QvSearchLan, NameMatchingTwoPartsGivesTwoRows)
{
    const auto list = rows(qvsearch({"-t", "3", "-n", "qvhost;host", "QVGROUP1"}));
    EXPECT_EQ(list, (std::vector<std::string>{"\\\\QVHOST1|QVGROUP1|コンピューター", "\\\\QVHOST1|QVGROUP1|コンピューター",
                                              "\\\\QVHOST2|QVGROUP1|コンピューター", "\\\\QVHOST2|QVGROUP1|コンピューター"}));
    const auto groups = rows(qvsearch({"-t", "4", "-n", "group1;qvgroup", ""}));
    EXPECT_EQ(groups, (std::vector<std::string>{"QVGROUP1||グループ", "QVGROUP1||グループ", "QVGROUP2||グループ"}));
}

TEST_F(QvSearchLan, FolderPlacesNamesAndTimes)
{
    const ProcessResult r = qvsearch({"--format", "jsonl", "-n", "*.txt", "\\\\QVHOST1\\public\\docs\\2023"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lines(), 2);
    EXPECT_NE(r.out.find("\"name\":\"report.txt\",\"path\":\"\\\\\\\\QVHOST1\\\\public\\\\docs\\\\2023\",\"size\":\"0 KB\""),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"updated\":\"2023/12/31 23:59\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"updated\":\"2023/12/31 00:00\""), std::string::npos) << r.out;

    const auto deep = rows(qvsearch({"-n", "最下層", "\\\\QVHOST1\\public"}));
    EXPECT_EQ(deep, std::vector<std::string>{"最下層.txt|\\\\QVHOST1\\public\\docs\\深い階層\\さらに深く|平文テキストドキュメント"});

    // Names with characters that are special in URLs reach the right files.
    const auto special = rows(qvsearch({"-c", "spaces, percent and hash", "\\\\QVHOST1\\public"}));
    EXPECT_EQ(special, std::vector<std::string>{"mixed %# name.txt|\\\\QVHOST1\\public|平文テキストドキュメント"});
    const auto hash = rows(qvsearch({"-n", "percent%sign;hash#sign", "-t", "1", "\\\\QVHOST1\\public"}));
    EXPECT_EQ(hash.size(), 2u);
}

TEST_F(QvSearchLan, ContentMatchesInsideShares)
{
    const ProcessResult r = qvsearch({"--format", "jsonl", "-c", "見積書", "\\\\QVHOST1\\public"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.lines(), 3) << r.out;
    EXPECT_NE(r.out.find("\"name\":\"日本語ファイル名.txt\""), std::string::npos);
    EXPECT_NE(r.out.find("\"name\":\"utf8.txt\""), std::string::npos);
    EXPECT_NE(r.out.find("\"match_string\":\"見積書\""), std::string::npos);
    // The Shift-JIS copy, read over SMB in the same pieces and decoded as CP932.
    EXPECT_NE(r.out.find("\"name\":\"sjis.txt\""), std::string::npos) << r.out;
    std::vector<std::string> docs =
        rows(qvsearch({"--no-subfolders", "-c", "検索します。;needle", "\\\\QVHOST1\\public\\docs"}));
    std::sort(docs.begin(), docs.end());
    EXPECT_EQ(docs, (std::vector<std::string>{"sjis.txt|\\\\QVHOST1\\public\\docs|平文テキストドキュメント",
                                              "utf8.txt|\\\\QVHOST1\\public\\docs|平文テキストドキュメント"}));

    // The last line of a 300 KB file: read across many pieces.
    const auto end = rows(qvsearch({"-c", "needle-at-end;nothing", "\\\\QVHOST1\\public"}));
    EXPECT_EQ(end, std::vector<std::string>{"big.txt|\\\\QVHOST1\\public|平文テキストドキュメント"});
}

TEST_F(QvSearchLan, GuestRefusingShareIsToldWithoutCredentialsAndSearchedWithThem)
{
    const ProcessResult guest = qvsearch({"\\\\QVHOST1\\secret"});
    EXPECT_EQ(guest.status, 4);
    EXPECT_EQ(guest.out, "");
    EXPECT_EQ(guest.err, "qvsearch: cannot search \\\\QVHOST1\\secret: access denied\n");
    const auto user = rows(qvsearch({"-U", kUser, "\\\\QVHOST1\\secret"}));
    EXPECT_TRUE(hasRow(user, "社外秘.txt|\\\\QVHOST1\\secret|平文テキストドキュメント")) << ::testing::PrintToString(user);
    EXPECT_TRUE(hasRow(user, "plan.txt|\\\\QVHOST1\\secret\\plans|平文テキストドキュメント"));
}

TEST_F(QvSearchLan, StoppedServerIsSkippedAndTheSearchCompletes)
{
    ASSERT_EQ(lanScript("stop-host", {"QVHOST2"}), 0);
    const ProcessResult r = qvsearch({"-t", "1", "QVGROUP1"});
    lanScript("start-host", {"QVHOST2"}); // back in its browse list too, for the tests after this one
    EXPECT_EQ(r.status, 0) << r.err;
    std::string cells; // "name|path|type" lines, as the rows read back
    for (const std::string& row : rows(r))
        cells += row + "\n";
    EXPECT_NE(cells.find("\\\\QVHOST1\\public"), std::string::npos) << cells;
    EXPECT_EQ(cells.find("\\\\QVHOST2\\"), std::string::npos) << cells;
    // Passed over in the list, counted at the end (the share that refuses guests; the
    // stopped server too while the browse list still names it).
    EXPECT_NE(r.err.find("1 share could not be read\n"), std::string::npos) << r.err;
}

// A computer or share that cannot be reached said "0個見つかりました" and exited 0.
TEST_F(QvSearchLan, UnreachablePlaceIsToldWithStatus4)
{
    ASSERT_EQ(lanScript("stop-host", {"QVHOST2"}), 0);
    const ProcessResult computer = qvsearch({"\\\\QVHOST2"});
    const ProcessResult share = qvsearch({"\\\\QVHOST2\\public"});
    lanScript("start-host", {"QVHOST2"}); // back in its browse list too, for the tests after this one
    EXPECT_EQ(computer.status, 4) << computer.err;
    EXPECT_EQ(computer.err.rfind("qvsearch: cannot search \\\\QVHOST2: ", 0), 0u) << computer.err;
    EXPECT_EQ(share.status, 4) << share.err;
    EXPECT_EQ(share.err.rfind("qvsearch: cannot search \\\\QVHOST2\\public: ", 0), 0u) << share.err;
    for (const ProcessResult* r : {&computer, &share}) {
        EXPECT_EQ(r->lines(), 0);
        EXPECT_EQ(std::count(r->err.begin(), r->err.end(), '\n'), 1) << r->err;
    }
    const ProcessResult missing = qvsearch({"\\\\QVHOST1\\no-such-share"});
    EXPECT_EQ(missing.status, 4) << missing.err;
    EXPECT_EQ(missing.err.rfind("qvsearch: cannot search \\\\QVHOST1\\no-such-share: ", 0), 0u) << missing.err;
}

TEST_F(QvSearchLan, CtrlCEndsASearchOfASilentServerAtOnce)
{
    ASSERT_EQ(lanScript("stop-host", {"--unplug", "QVHOST2"}), 0);
    const ProcessResult r = qvsearch({"\\\\QVHOST2\\public"}, 500);
    lanScript("start-host", {"QVHOST2"}); // back in its browse list too, for the tests after this one
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_LT(r.seconds, 3.0) << "Stop must not wait for the server's timeout";
}

TEST_F(QvSearchLan, CtrlCDuringALongWalkKeepsTheRowsSoFar)
{
    // The bench share holds 20,000 files when the LAN was brought up with QVLAN_BENCH=1.
    const ProcessResult whole = qvsearch({"-n", "*.txt", "\\\\QVFILER3\\bench"});
    ASSERT_EQ(whole.status, 0);
    if (whole.lines() < 10000)
        GTEST_SKIP() << "the bench share is not filled (tests/lan/make-bench-share)";
    const ProcessResult r = qvsearch({"-n", "*.txt", "\\\\QVFILER3\\bench"}, static_cast<int>(whole.seconds * 1000 / 3));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_GT(r.lines(), 0);
    EXPECT_LT(r.lines(), whole.lines());
    EXPECT_EQ(r.err, std::to_string(r.lines()) + "個見つかりました\n");
}

// In a network namespace of its own there are no interfaces: nothing to browse, and
// no packet can leave the machine. Nothing could be searched, and the run says so.
TEST(QvSearchNoNetwork, EntireNetworkAddsNothingAndEnds)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root for a network namespace of its own";
    // Discovery on: with no interface it has nowhere to send and ends at once.
    for (const char* place : {"", "WSDGROUP", "\\\\MORI5\\docs"}) {
        SCOPED_TRACE(place);
        const ProcessResult r = runProcess({"/usr/bin/unshare", "-n", "/usr/bin/env", "QV_DISCOVERY=1",
                                            "XDG_CACHE_HOME=/nonexistent", QVSEARCH_PATH, place});
        EXPECT_EQ(r.status, 4);
        EXPECT_EQ(r.out, "");
        const std::string shown = *place ? place : "ネットワーク全体";
        // The SMB library ended the helper before its first answer, which read as a
        // helper that cannot be started: the helper now answers that the network is down.
        EXPECT_EQ(r.err, "qvsearch: cannot search " + shown + ": the network is down (no network interface is up)\n");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1)
            << "the SMB library's own messages must not reach the user: " << r.err;
        EXPECT_LT(r.seconds, 3.0);
    }
}

// ---- today's kinds of hosts: SMB1 off, announced by WS-Discovery, DNS-SD, or found
// only by the NetBIOS sweep

namespace {

const std::string kTextType = "平文テキストドキュメント";

std::string noteRow(const std::string& host, const std::string& lower)
{
    return lower + "-note.txt|\\\\" + host + "\\docs\\sub\\deeper|" + kTextType;
}

} // namespace

TEST_F(QvSearchLan, EveryKindOfHostIsAComputerOfItsWorkgroup)
{
    const ProcessResult r = qvsearch({"-t", "3", ""});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto list = rows(r);
    EXPECT_TRUE(hasRow(list, "\\\\KITA4|QVGROUP1|コンピューター")) << r.out;
    EXPECT_TRUE(hasRow(list, "\\\\MORI5|WSDGROUP|コンピューター")) << r.out;
    EXPECT_TRUE(hasRow(list, "\\\\HAYASHI6|local|コンピューター")) << r.out;
    EXPECT_TRUE(hasRow(list, "\\\\SAWA7|LONEGROUP|コンピューター")) << r.out;
    EXPECT_TRUE(hasRow(list, "\\\\QVFILER3|QVGROUP2|コンピューター"));
    // Each once: the sweep also finds the browse list's computers.
    EXPECT_EQ(std::count_if(list.begin(), list.end(), [](const std::string& row) { return row.find("QVHOST1|") != std::string::npos; }), 1);
    // Discovery takes its bounded time, once.
    EXPECT_LT(r.seconds, 10.0);
}

TEST_F(QvSearchLan, AComputerThatRefusesSmb1ListsItsShares)
{
    EXPECT_EQ(rows(qvsearch({"-t", "2", "\\\\KITA4"})),
              std::vector<std::string>{"\\\\KITA4\\DOCS|\\\\KITA4|共有フォルダ"});
    const auto shares = rows(qvsearch({"-t", "2", "QVGROUP1"}));
    EXPECT_TRUE(hasRow(shares, "\\\\KITA4\\DOCS|QVGROUP1\\\\KITA4|共有フォルダ"));
    EXPECT_TRUE(hasRow(shares, "\\\\QVHOST1\\PUBLIC|QVGROUP1\\\\QVHOST1|共有フォルダ")) << "the old hosts as before";
}

TEST_F(QvSearchLan, WorkgroupSearchesFindFilesByNameAndContentOnEveryKindOfHost)
{
    const struct {
        const char* workgroup;
        const char* host;
        const char* lower;
    } kCases[] = {{"QVGROUP1", "KITA4", "kita4"},
                  {"WSDGROUP", "MORI5", "mori5"},
                  {"local", "hayashi6", "hayashi6"},
                  {"LONEGROUP", "SAWA7", "sawa7"}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.workgroup);
        const ProcessResult byName = qvsearch({"-t", "1", "-n", "*-note.txt", c.workgroup});
        ASSERT_EQ(byName.status, 0) << byName.err;
        EXPECT_EQ(rows(byName), std::vector<std::string>{noteRow(c.host, c.lower)}) << byName.out;
        const ProcessResult byContent = qvsearch({"-t", "1", "-c", "modern-needle", c.workgroup});
        EXPECT_EQ(rows(byContent), std::vector<std::string>{noteRow(c.host, c.lower)}) << byContent.out;
    }
}

TEST_F(QvSearchLan, EntireNetworkSearchFindsEveryHostInTheSameOrderEachTime)
{
    const ProcessResult first = qvsearch({"-t", "1", "-n", "*-note.txt", "-c", "MODERN-NEEDLE", ""});
    ASSERT_EQ(first.status, 0) << first.err;
    const auto list = rows(first);
    // Browse-list workgroups first (KITA4 in QVGROUP1), then local, LONEGROUP, WSDGROUP.
    EXPECT_EQ(list, (std::vector<std::string>{noteRow("KITA4", "kita4"), noteRow("hayashi6", "hayashi6"),
                                              noteRow("SAWA7", "sawa7"), noteRow("MORI5", "mori5")}))
        << first.out;
    const ProcessResult second = qvsearch({"-t", "1", "-n", "*-note.txt", "-c", "MODERN-NEEDLE", ""});
    EXPECT_EQ(second.out, first.out);
}

// The computers searched at once hand their rows on in the order of the walk of one
// computer after the other: the output is the same byte for byte.
TEST_F(QvSearchLan, EveryNumberOfJobsGivesTheSameRowsInTheSameOrder)
{
    // The content match reads the files, which moves their access times once (relatime):
    // a first run makes them stay put for the runs compared.
    qvsearch({"-j", "1", "-n", "*-note.txt;readme.txt;notes.txt;log.txt;*.md;qv", "-c", "e", ""});
    const ProcessResult one = qvsearch({"-j", "1", "-n", "*-note.txt;readme.txt;notes.txt;log.txt;*.md;qv", "-c", "e", ""});
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_GT(one.lines(), 20) << one.out;
    for (const char* jobs : {"3", "16"}) {
        const ProcessResult many = qvsearch({"-j", jobs, "-n", "*-note.txt;readme.txt;notes.txt;log.txt;*.md;qv", "-c", "e", ""});
        EXPECT_EQ(many.status, 0) << many.err;
        EXPECT_EQ(many.out, one.out) << jobs << " jobs";
        EXPECT_EQ(many.err, one.err);
    }
    const ProcessResult tooMany = qvsearch({"-j", "1000", "-t", "3", "QVGROUP1"});
    EXPECT_EQ(tooMany.status, 0);
    EXPECT_NE(tooMany.err.find("--jobs 1000 is more than 16 helpers"), std::string::npos) << tooMany.err;
}

namespace {
int runningHelpers();
} // namespace

TEST_F(QvSearchLan, FoldersListedAheadGiveTheRowsOfOneHelper)
{
    // Every row of a share with folders several levels deep, and of computers whose
    // shares are walked in turn, with and without helpers listing ahead; the bench
    // share too when the LAN was brought up with it.
    for (const char* place : {"\\\\QVHOST1\\public", "\\\\QVHOST2\\data", "\\\\QVFILER3\\bench", "\\\\QVHOST2",
                              "\\\\QVFILER3"}) {
        const ProcessResult one = qvsearch({"-j", "1", place});
        ASSERT_EQ(one.status, 0) << one.err;
        for (const char* jobs : {"2", "8"}) {
            const ProcessResult many = qvsearch({"-j", jobs, place});
            EXPECT_EQ(many.status, 0) << many.err;
            EXPECT_EQ(many.out, one.out) << place << " with " << jobs << " jobs";
        }
    }
    // The helpers did list: a walk of a share or of a computer runs more than one.
    const int before = runningHelpers();
    ASSERT_GE(before, 0) << "no qv-smb beside qvsearch";
    for (const char* place : {"\\\\QVFILER3\\bench", "\\\\QVFILER3"}) {
        auto search = std::async(std::launch::async, [place] { return qvsearch({"-j", "4", place}); });
        int most = 0;
        while (search.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
            most = std::max(most, runningHelpers() - before);
        const ProcessResult r = search.get();
        ASSERT_EQ(r.status, 0) << r.err;
        if (r.lines() < 1000)
            GTEST_SKIP() << "the bench share is not filled (tests/lan/make-bench-share)";
        EXPECT_GT(most, 1) << place;
    }
}

namespace {

// Processes named qv-smb on the machine (the namespaces share the process table).
// The helpers of this build that run (-1 when the build has none): other builds' on
// the same machine (another work tree's tests) come and go as they like.
int runningHelpers()
{
    std::error_code error;
    const std::filesystem::path ours =
        std::filesystem::canonical(std::filesystem::path(QVSEARCH_PATH).parent_path() / "../platform/qv-smb", error);
    if (error)
        return -1;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        if (!comm || !std::getline(comm, name) || name != "qv-smb")
            continue;
        const auto exe = std::filesystem::read_symlink(entry.path() / "exe", error);
        if (!error && exe == ours)
            ++count;
    }
    return count;
}

} // namespace

TEST_F(QvSearchLan, NoHelperOutlivesTheSearchWhenItEndsOrIsStopped)
{
    const int before = runningHelpers();
    ASSERT_GE(before, 0) << "no qv-smb beside qvsearch";
    const ProcessResult ended = qvsearch({"-j", "4", "-n", "*.txt", ""});
    EXPECT_EQ(ended.status, 0) << ended.err;
    EXPECT_EQ(runningHelpers(), before) << "after the end";
    const ProcessResult stopped = qvsearch({"-j", "4", "-n", "*.txt", ""}, static_cast<int>(ended.seconds * 1000 / 2));
    EXPECT_EQ(stopped.status, 1) << stopped.err;
    EXPECT_EQ(runningHelpers(), before) << "after Ctrl-C";
    // One share, its folders listed ahead by helpers of their own.
    const char* share = "\\\\QVFILER3\\bench";
    const ProcessResult shareEnded = qvsearch({"-j", "4", share});
    EXPECT_EQ(shareEnded.status, 0) << shareEnded.err;
    EXPECT_EQ(runningHelpers(), before) << "after the share's end";
    const ProcessResult shareStopped = qvsearch({"-j", "4", share}, static_cast<int>(shareEnded.seconds * 1000 / 2));
    EXPECT_EQ(runningHelpers(), before) << "after Ctrl-C in the share";
    if (shareEnded.lines() > 1000) // the bench share is filled: the stop came mid-walk
        EXPECT_LT(shareStopped.out.size(), shareEnded.out.size());
}

TEST_F(QvSearchLan, NamesOnlyDiscoveryKnowsResolveAndAddressesWork)
{
    for (const auto& [place, row] : std::vector<std::pair<std::string, std::string>>{
             {"\\\\MORI5\\docs", noteRow("MORI5", "mori5")},
             {"\\\\hayashi6\\docs", noteRow("hayashi6", "hayashi6")},
             {"\\\\SAWA7\\docs", noteRow("SAWA7", "sawa7")},
             {"\\\\192.0.2.32\\docs", "mori5-note.txt|\\\\192.0.2.32\\docs\\sub\\deeper|" + kTextType}}) {
        SCOPED_TRACE(place);
        const ProcessResult r = qvsearch({"-n", "*-note.txt", place});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(rows(r), std::vector<std::string>{row}) << r.err;
    }
    // What a round found is cached: later runs reach the computer without discovery.
    const ProcessResult cached = qvsearchWith({"QV_DISCOVERY=0"}, {"-n", "*-note.txt", "\\\\MORI5\\docs"});
    EXPECT_EQ(rows(cached), std::vector<std::string>{noteRow("MORI5", "mori5")}) << cached.err;
    EXPECT_LT(cached.seconds, 3.0);
}

TEST_F(QvSearchLan, OfficeDocumentsOnAShareAreFoundByTheirText)
{
    // tests/lan/up writes \\QVHOST2\data\office; a LAN brought up before it did has none.
    const ProcessResult listed = qvsearch({"-n", "議事録.docx", "\\\\QVHOST2\\data"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    if (rows(listed).empty())
        GTEST_SKIP() << "\\\\QVHOST2\\data\\office is missing: the test LAN predates tests/lan/make-office-docs "
                        "(bring it up again with tests/lan/up)";
    const ProcessResult r = qvsearch({"-c", "定例会議;御見積金額", "\\\\QVHOST2\\data"});
    ASSERT_EQ(r.status, 0) << r.err;
    // In the order the server lists them, which is the file system's.
    std::vector<std::string> found = rows(r);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"見積.xlsx|\\\\QVHOST2\\data\\office|Excel 2007 スプレッドシート",
                                               "議事録.docx|\\\\QVHOST2\\data\\office|Word 2007 ドキュメント"}))
        << r.out;
    EXPECT_NE(r.out.find("\t定例会議\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "2個見つかりました\n");
    // The bytes of the zips hold none of it.
    const ProcessResult off = qvsearch({"--no-documents", "-c", "定例会議;御見積金額", "\\\\QVHOST2\\data"});
    EXPECT_EQ(off.out, "");
}
