// SMB against the real servers of the test LAN (tests/lan/up): browsing, listings
// with their details, reading, credentials, and a helper that dies or is aborted.
// Run through tests/smb/run-lan-tests (CTest does), which puts the program in the
// LAN's client namespace; anywhere else every test is skipped. The expected names
// and contents are those tests/lan/up writes.
#include "platform/SmbClient.h"
#include "platform/SmbFileSystem.h"
#include "platform/SmbUrl.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <map>
#include <netinet/in.h>
#include <set>
#include <thread>
#include <unistd.h>

using namespace qv;
using namespace std::chrono_literals;

namespace {

constexpr std::int64_t kDefaultTime = 1709294400; // 2024-03-01 12:00:00 UTC, every file without its own

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// True when this process runs in the LAN's client namespace: one of its interfaces
// has the client's address. Nothing is sent to find out.
bool insideClientNamespace(const std::string& address)
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN];
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) && address == text)
            found = true;
    }
    freeifaddrs(list);
    return found;
}

class SmbLan : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "the Samba test LAN needs root";
        if (env("QVLAN_CLIENT_ADDR").empty() || !insideClientNamespace(env("QVLAN_CLIENT_ADDR")))
            GTEST_SKIP() << "not inside the test LAN's client namespace: run through ctest or "
                            "tests/smb/run-lan-tests with the LAN up (tests/lan/up)";
    }

    static std::map<std::string, SmbNetEntry::Kind> network(SmbClient& client, const std::string& url)
    {
        std::vector<SmbNetEntry> entries;
        const int rc = client.listNetwork(url, entries);
        EXPECT_EQ(rc, 0) << url << ": " << std::strerror(rc);
        std::map<std::string, SmbNetEntry::Kind> out;
        for (const auto& e : entries)
            out[e.name] = e.kind;
        return out;
    }

    static std::map<std::string, FileEntry> folder(SmbFileSystem& files, const std::string& path)
    {
        std::map<std::string, FileEntry> out;
        auto listing = files.list(path);
        EXPECT_TRUE(listing) << path << ": " << std::strerror(files.lastError());
        if (listing) {
            for (const auto& e : listing->entries())
                out[e.name] = e;
        }
        return out;
    }

    static std::string content(SmbFileSystem& files, const std::string& path)
    {
        auto reader = files.openForReading(path);
        EXPECT_TRUE(reader) << path << ": " << std::strerror(files.lastError());
        if (!reader)
            return "<not opened>";
        std::string out;
        char buffer[65536];
        for (;;) {
            const std::int64_t n = reader->read(buffer, sizeof buffer);
            if (n < 0)
                return "<read error>";
            if (n == 0)
                return out;
            out.append(buffer, static_cast<std::size_t>(n));
        }
    }

    static int runLanScript(const std::string& command)
    {
        const std::string line = env("QVLAN_DIR") + "/" + command + " >&2";
        return std::system(line.c_str());
    }
};

} // namespace

TEST_F(SmbLan, BrowsesWorkgroupsAndTheirComputers)
{
    SmbClient client;
    const auto workgroups = network(client, "smb://");
    EXPECT_EQ(workgroups.count("QVGROUP1"), 1u);
    EXPECT_EQ(workgroups.count("QVGROUP2"), 1u);
    for (const auto& [name, kind] : workgroups)
        EXPECT_EQ(kind, SmbNetEntry::Kind::Workgroup) << name;

    const auto group1 = network(client, "smb://QVGROUP1");
    EXPECT_EQ(group1.count("QVHOST1"), 1u);
    EXPECT_EQ(group1.count("QVHOST2"), 1u);
    EXPECT_EQ(group1.count("QVFILER3"), 0u) << "a member of the other workgroup";
    for (const auto& [name, kind] : group1)
        EXPECT_EQ(kind, SmbNetEntry::Kind::Server) << name;

    const auto group2 = network(client, "smb://QVGROUP2");
    EXPECT_EQ(group2.count("QVFILER3"), 1u);
    EXPECT_EQ(group2.count("QVHOST1"), 0u);
}

TEST_F(SmbLan, ListsSharesWithTheirKinds)
{
    SmbClient client;
    const auto shares = network(client, "smb://QVHOST1");
    ASSERT_EQ(shares.count("public"), 1u);
    EXPECT_EQ(shares.at("public"), SmbNetEntry::Kind::FileShare);
    ASSERT_EQ(shares.count("secret"), 1u) << "a share that refuses guests is still listed";
    EXPECT_EQ(shares.at("secret"), SmbNetEntry::Kind::FileShare);
    ASSERT_EQ(shares.count("qvprinter"), 1u);
    EXPECT_EQ(shares.at("qvprinter"), SmbNetEntry::Kind::PrinterShare);
    if (shares.count("IPC$")) {
        EXPECT_EQ(shares.at("IPC$"), SmbNetEntry::Kind::Other);
    }

    const auto filer = network(client, "smb://QVFILER3");
    EXPECT_EQ(filer.count("archive"), 1u);
    EXPECT_EQ(filer.count("bench"), 1u);
    // Names compare without case; the same computer in lower case.
    EXPECT_EQ(network(client, "smb://qvhost2").count("data"), 1u);
}

// libsmbclient first asks the network whether "smb://NAME" is a workgroup: half a
// second or more of broadcast queries when it is not. A helper told (or having seen in a
// workgroup's list) that NAME is a computer connects first and skips them.
TEST_F(SmbLan, ShareListOfAKnownComputerSkipsTheWorkgroupQuery)
{
    using Seconds = std::chrono::duration<double>;
    auto timed = [](SmbClient& client, auto place, std::size_t& count) {
        std::vector<FileEntry> none;
        client.listFolder("smb://", none); // starts the helper, without the network
        std::vector<SmbNetEntry> entries;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(client.listNetwork(place, entries), 0);
        count = entries.size();
        return Seconds(std::chrono::steady_clock::now() - start).count();
    };
    double best = 1e9;
    for (const char* host : {"QVHOST1", "QVHOST2", "QVFILER3"}) {
        SmbClient client;
        std::size_t count = 0;
        best = std::min(best, timed(client, *SmbUrl::fromNetworkName(std::string("\\\\") + host), count));
        EXPECT_GE(count, 3u) << host;
    }
    EXPECT_LT(best, 0.45) << "fastest share list of a computer named as one";

    SmbClient client;
    std::vector<SmbNetEntry> members;
    ASSERT_EQ(client.listNetwork(*SmbUrl::fromNetworkName("QVGROUP1"), members), 0);
    std::size_t count = 0;
    EXPECT_LT(timed(client, std::string("smb://QVHOST2"), count), 0.45) << "a computer the workgroup listed";
    EXPECT_GE(count, 3u);
}

TEST_F(SmbLan, ListsAFolderWithSizesAndTimes)
{
    SmbFileSystem files;
    const auto root = folder(files, "\\\\QVHOST1\\public");
    const std::set<std::string> expected = {"readme.txt",        "empty.txt", "name with space.txt", "percent%sign.txt",
                                            "hash#sign.txt",     "mixed %# name.txt", "日本語ファイル名.txt", "docs",
                                            "old",               "empty folder", "big.txt"};
    std::set<std::string> got;
    for (const auto& [name, entry] : root) {
        got.insert(name);
        EXPECT_TRUE(entry.hasDetails) << name;
    }
    EXPECT_EQ(got, expected);
    ASSERT_EQ(root.count("readme.txt"), 1u);
    const FileEntry& readme = root.at("readme.txt");
    EXPECT_FALSE(readme.isFolder);
    EXPECT_EQ(readme.size, static_cast<std::int64_t>(std::string("QVHOST1 public share of the Quendle test LAN.\n").size()));
    EXPECT_EQ(readme.written, kDefaultTime);
    EXPECT_GT(readme.created, 0) << "SMB2 gives a creation time";
    EXPECT_GT(readme.accessed, 0);
    EXPECT_EQ(root.at("big.txt").size, 307214);
    EXPECT_EQ(root.at("empty.txt").size, 0);
    EXPECT_TRUE(root.at("docs").isFolder);
    EXPECT_TRUE(root.at("empty folder").isFolder);
    EXPECT_TRUE(folder(files, "\\\\QVHOST1\\public\\empty folder").empty());

    const auto old = folder(files, "\\\\QVHOST1\\public\\old");
    ASSERT_EQ(old.count("ancient.txt"), 1u);
    EXPECT_EQ(old.at("ancient.txt").written, 981173106); // 2001-02-03 04:05:06 UTC

    // A 5 GiB (sparse) file: sizes are 64-bit all the way.
    const auto big = folder(files, "\\\\QVFILER3\\big$");
    ASSERT_EQ(big.count("sparse-5GiB.bin"), 1u);
    EXPECT_EQ(big.at("sparse-5GiB.bin").size, 5368709120LL);
}

TEST_F(SmbLan, WalksNestedFoldersThroughTheFileSystem)
{
    SmbFileSystem files;
    std::set<std::string> paths;
    std::map<std::string, std::int64_t> written;
    std::vector<std::string> pending = {"\\\\QVHOST1\\public\\docs"};
    while (!pending.empty()) {
        const std::string here = pending.back();
        pending.pop_back();
        auto listing = files.list(here);
        ASSERT_TRUE(listing) << here;
        for (const auto& e : listing->entries()) {
            const std::string path = here + "\\" + e.name;
            paths.insert(path.substr(std::string("\\\\QVHOST1\\public\\docs\\").size()) + (e.isFolder ? "\\" : ""));
            written[e.name] = e.written;
            if (e.isFolder)
                pending.push_back(path);
        }
    }
    EXPECT_EQ(paths, (std::set<std::string>{"utf8.txt", "sjis.txt", "2023\\", "2023\\report.txt", "2023\\q4\\",
                                            "2023\\q4\\summary.txt", "深い階層\\", "深い階層\\さらに深く\\",
                                            "深い階層\\さらに深く\\最下層.txt"}));
    EXPECT_EQ(written["report.txt"], 1704067199);
    EXPECT_EQ(written["summary.txt"], 1703980800);
}

TEST_F(SmbLan, ReadsContentsWhateverTheName)
{
    SmbFileSystem files;
    EXPECT_EQ(content(files, "\\\\QVHOST1\\public\\docs\\utf8.txt"), "UTF-8 本文: 見積書を検索します。\nneedle-utf8\n");
    EXPECT_EQ(content(files, "\\\\QVHOST1\\public\\日本語ファイル名.txt"), "日本語のファイル名と本文です。見積書\n");
    EXPECT_EQ(content(files, "\\\\QVHOST1\\public\\name with space.txt"), "a file name with spaces\n");
    EXPECT_EQ(content(files, "\\\\QVHOST1\\public\\percent%sign.txt"), "a file name with a percent sign\n");
    EXPECT_EQ(content(files, "\\\\QVHOST1\\public\\hash#sign.txt"), "a file name with a hash sign\n");
    EXPECT_EQ(content(files, "\\\\QVHOST1\\public\\mixed %# name.txt"), "spaces, percent and hash together\n");
    EXPECT_EQ(content(files, "\\\\QVHOST2\\data\\Report #1 (final).txt"), "report number one\n");
    EXPECT_EQ(content(files, "\\\\QVHOST1\\public\\docs\\深い階層\\さらに深く\\最下層.txt"), "最下層のファイル\n");
    EXPECT_EQ(content(files, "\\\\QVHOST1\\public\\empty.txt"), "");

    // Over several chunks: 4800 lines of 64 bytes, then the marker.
    const std::string big = content(files, "\\\\QVHOST1\\public\\big.txt");
    ASSERT_EQ(big.size(), 307214u);
    EXPECT_EQ(big.substr(0, 30), "filler line 0 of the big text ");
    EXPECT_EQ(big.substr(big.size() - 14), "NEEDLE-AT-END\n");
}

TEST_F(SmbLan, ReportsServerErrorsAsErrno)
{
    SmbClient client;
    std::vector<FileEntry> entries;
    EXPECT_EQ(client.listFolder("smb://QVHOST1/public/no-such-folder", entries), ENOENT);
    EXPECT_EQ(client.listFolder("smb://QVHOST1/no-such-share", entries), ENOENT);
    int handle = -1;
    EXPECT_EQ(client.openFile("smb://QVHOST1/public/no-such-file.txt", handle), ENOENT);
    EXPECT_EQ(client.listFolder("smb://QVHOST1/public/readme.txt", entries), ENOTDIR);
    EXPECT_NE(client.listFolder("smb://QVNOSUCHHOST/share", entries), 0);
}

TEST_F(SmbLan, GuestRefusedShareNeedsTheAccount)
{
    const std::string user = env("QVLAN_USER");
    const std::string password = env("QVLAN_PASSWORD");
    ASSERT_FALSE(user.empty()) << "QVLAN_USER comes from tests/lan/env.sh through run-lan-tests";
    auto client = std::make_shared<SmbClient>();
    SmbFileSystem files(client);
    EXPECT_FALSE(files.list("\\\\QVHOST1\\secret"));
    EXPECT_EQ(files.lastError(), EACCES);

    // The account, for that server only: other servers stay anonymous.
    client->setServerCredentials("qvhost1", {user, password, "", false});
    const auto secret = folder(files, "\\\\QVHOST1\\secret");
    EXPECT_EQ(secret.count("社外秘.txt"), 1u);
    EXPECT_EQ(secret.count("plans"), 1u);
    EXPECT_EQ(content(files, "\\\\QVHOST1\\secret\\plans\\plan.txt"), "plan: 見積書 for the secret project\n");
    EXPECT_EQ(folder(files, "\\\\QVHOST2\\public").count("readme.txt"), 1u);

    // A wrong password is refused too, also as the default for every server.
    SmbClient wrong;
    wrong.setDefaultCredentials({user, "not the password", "", false});
    std::vector<FileEntry> entries;
    EXPECT_EQ(wrong.listFolder("smb://QVHOST1/secret", entries), EACCES);
}

TEST_F(SmbLan, KerberosWithoutATicketFallsBackToThePassword)
{
    // The LAN has no KDC: asking for Kerberos must not cost guest or user access.
    SmbClient client;
    client.setDefaultCredentials({"", "", "", true});
    client.setServerCredentials("QVHOST1", {env("QVLAN_USER"), env("QVLAN_PASSWORD"), "", true});
    std::vector<FileEntry> entries;
    EXPECT_EQ(client.listFolder("smb://QVHOST2/public", entries), 0);
    EXPECT_EQ(client.listFolder("smb://QVHOST1/secret", entries), 0);
    std::vector<SmbNetEntry> shares;
    EXPECT_EQ(client.listNetwork(*SmbUrl::fromNetworkName("\\\\QVFILER3"), shares), 0);
}

TEST_F(SmbLan, HelperKilledMidUseCostsOnlyWhatItServed)
{
    auto client = std::make_shared<SmbClient>();
    SmbFileSystem files(client);
    auto reader = files.openForReading("\\\\QVHOST1\\public\\big.txt");
    ASSERT_TRUE(reader);
    char buffer[4096];
    ASSERT_EQ(reader->read(buffer, sizeof buffer), 4096);
    const pid_t pid = client->helperPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    std::int64_t n = 0;
    while ((n = reader->read(buffer, sizeof buffer)) > 0) {
    }
    EXPECT_EQ(n, -1) << "the file died with its helper";
    // The next request starts a new helper.
    EXPECT_EQ(folder(files, "\\\\QVHOST1\\public").count("readme.txt"), 1u);
    EXPECT_NE(client->helperPid(), pid);
    EXPECT_EQ(content(files, "\\\\QVHOST1\\public\\readme.txt"), "QVHOST1 public share of the Quendle test LAN.\n");
}

// Last: it stops a host and waits for the browse list to name it again.
TEST_F(SmbLan, StoppedHostFailsAndAbortEndsABlockedRequest)
{
    const std::string host = env("QVLAN_STOPPABLE_HOST");
    ASSERT_FALSE(host.empty());
    const std::string share = "smb://" + host + "/public";

    // Servers stopped, address up: connections are refused at once.
    ASSERT_EQ(runLanScript("stop-host " + host), 0);
    {
        SmbClient client;
        std::vector<FileEntry> entries;
        const auto start = std::chrono::steady_clock::now();
        const int rc = client.listFolder(share, entries);
        EXPECT_NE(rc, 0);
        EXPECT_TRUE(rc == ECONNREFUSED || rc == EHOSTUNREACH || rc == ENOENT) << std::strerror(rc);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);
    }

    // Unplugged: nothing answers, and the request blocks until abort().
    ASSERT_EQ(runLanScript("stop-host --unplug " + host), 0);
    {
        SmbClient client;
        client.setTimeoutMs(20000);
        std::atomic<int> result{-1};
        std::atomic<bool> done{false};
        std::thread blocked([&] {
            std::vector<FileEntry> entries;
            result = client.listFolder(share, entries);
            done = true;
        });
        std::this_thread::sleep_for(1500ms);
        const bool stillBlocked = !done;
        const auto start = std::chrono::steady_clock::now();
        client.abort();
        blocked.join();
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(stillBlocked) << "the request to the unplugged host ended on its own: " << result.load();
        if (stillBlocked) {
            EXPECT_EQ(result.load(), ECANCELED);
            EXPECT_LT(took, 1s);
        }
        std::vector<FileEntry> entries;
        EXPECT_EQ(client.listFolder("smb://QVHOST1/public", entries), ECANCELED);
        client.reset();
        EXPECT_EQ(client.listFolder("smb://QVHOST1/public", entries), 0) << "a new helper after reset()";
    }

    EXPECT_EQ(runLanScript("start-host " + host), 0);
    SmbClient client;
    std::vector<FileEntry> entries;
    EXPECT_EQ(client.listFolder(share, entries), 0);
}
