// SmbClient and SmbFileSystem against a fake helper (local folders, scripted crashes
// and hangs), and the real qv-smb on requests it answers before any network traffic.
#include "platform/SmbClient.h"
#include "platform/SmbFileCopier.h"
#include "platform/SmbFileSystem.h"
#include "platform/SmbUrl.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>
#include <sys/stat.h>

using namespace qv;
using namespace qv::test;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> names(const std::vector<SmbNetEntry>& entries)
{
    std::vector<std::string> out;
    for (const auto& e : entries)
        out.push_back(e.name);
    return out;
}

// The helper's pid, as it reports it itself.
std::string reportedPid(SmbClient& client)
{
    std::vector<SmbNetEntry> entries;
    EXPECT_EQ(client.listNetwork("smb://PID", entries), 0);
    return entries.empty() ? std::string() : entries[0].name;
}

// Waits until a killed process has died (is a zombie or gone), so that the test does
// not race the kernel.
void waitUntilDead(pid_t pid)
{
    for (int i = 0; i < 500; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            return;
        const auto close = line.rfind(')');
        if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z')
            return;
        std::this_thread::sleep_for(2ms);
    }
    FAIL() << "process " << pid << " did not die";
}

// A TempTree's folder as a network name on the fake helper's LOCAL computer.
std::string networkName(const std::string& localPath)
{
    std::string out = "\\\\LOCAL";
    for (char c : localPath)
        out += c == '/' ? '\\' : c;
    return out;
}

std::string readAll(FileReader& reader, std::size_t piece)
{
    std::string out;
    std::vector<char> buffer(piece);
    for (;;) {
        const std::int64_t n = reader.read(buffer.data(), buffer.size());
        if (n <= 0) {
            EXPECT_EQ(n, 0);
            return out;
        }
        out.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

} // namespace

TEST(SmbClient, SendsSettingsToEveryHelperItStarts)
{
    SmbClient client(FAKE_SMB_HELPER);
    client.setDefaultCredentials({"", "", "", false});
    client.setServerCredentials("QVHOST1", {"qvtest", "Qv-Test.2024", "QVGROUP1", true});
    client.setTimeoutMs(1234);
    std::vector<SmbNetEntry> entries;
    ASSERT_EQ(client.listNetwork("smb://SETTINGS", entries), 0);
    EXPECT_EQ(names(entries), (std::vector<std::string>{"credentials *   ", "credentials QVHOST1 qvtest Qv-Test.2024 QVGROUP1 kerberos",
                                                         "timeout 1234"}));

    // Changed while the helper runs: sent before the next request.
    client.setDefaultCredentials({"guest", "pw", "", false});
    client.setTimeoutMs(99);
    ASSERT_EQ(client.listNetwork("smb://SETTINGS", entries), 0);
    EXPECT_EQ(entries.front().name, "credentials * guest pw ");
    EXPECT_EQ(entries.back().name, "timeout 99");

    // And again to the helper that replaces a crashed one.
    std::vector<SmbNetEntry> none;
    EXPECT_EQ(client.listNetwork("smb://CRASH", none), EPIPE);
    std::vector<SmbNetEntry> after;
    ASSERT_EQ(client.listNetwork("smb://SETTINGS", after), 0);
    EXPECT_EQ(names(after), names(entries));
}

TEST(SmbClient, TellsTheHelperWhatAOneNameUrlIs)
{
    SmbClient client(FAKE_SMB_HELPER);
    auto hint = [&](auto place) {
        std::vector<SmbNetEntry> entries;
        EXPECT_EQ(client.listNetwork(place, entries), 0);
        return entries.empty() ? std::string() : entries[0].name;
    };
    EXPECT_EQ(hint(std::string("smb://HINT")), "0");
    EXPECT_EQ(hint(*SmbUrl::fromNetworkName("HINT")), "1");
    EXPECT_EQ(hint(*SmbUrl::fromNetworkName("\\\\HINT")), "2");
}

TEST(SmbClient, CrashCostsOnlyTheRequestItWasServing)
{
    SmbClient client(FAKE_SMB_HELPER);
    const std::string first = reportedPid(client);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(reportedPid(client), first) << "one helper serves request after request";
    std::vector<SmbNetEntry> entries;
    EXPECT_EQ(client.listNetwork("smb://CRASH", entries), EPIPE);
    EXPECT_TRUE(entries.empty());
    const std::string second = reportedPid(client);
    EXPECT_FALSE(second.empty());
    EXPECT_NE(second, first);
}

TEST(SmbClient, HelperKilledWhileIdleIsReplacedTransparently)
{
    SmbClient client(FAKE_SMB_HELPER);
    const std::string first = reportedPid(client);
    const pid_t pid = client.helperPid();
    ASSERT_EQ(std::to_string(pid), first);
    kill(pid, SIGKILL);
    waitUntilDead(pid);
    // The request never reached the dead helper, so it is not lost.
    const std::string second = reportedPid(client);
    EXPECT_FALSE(second.empty());
    EXPECT_NE(second, first);
}

TEST(SmbClient, WriteToAHelperThatClosedItsInputFailsWithoutSigpipe)
{
    // The default disposition of SIGPIPE would end this test process.
    SmbClient client(FAKE_SMB_HELPER);
    std::vector<SmbNetEntry> entries;
    ASSERT_EQ(client.listNetwork("smb://CLOSEIN", entries), 0);
    const pid_t stale = client.helperPid();
    const std::string next = reportedPid(client);
    EXPECT_FALSE(next.empty());
    EXPECT_NE(next, std::to_string(stale));
}

TEST(SmbClient, AbortUnblocksAHangingRequestAndHoldsUntilReset)
{
    SmbClient client(FAKE_SMB_HELPER);
    const std::string first = reportedPid(client);
    std::atomic<int> result{-1};
    std::atomic<bool> done{false};
    std::thread blocked([&] {
        std::vector<SmbNetEntry> entries;
        result = client.listNetwork("smb://HANG", entries);
        done = true;
    });
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(done) << "the fake helper should still be hanging";
    const auto start = std::chrono::steady_clock::now();
    client.abort();
    blocked.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(result.load(), ECANCELED);

    std::vector<SmbNetEntry> entries;
    EXPECT_EQ(client.listNetwork("smb://PID", entries), ECANCELED);
    EXPECT_EQ(client.helperPid(), 0) << "no helper is started while aborted";
    client.reset();
    const std::string second = reportedPid(client);
    EXPECT_FALSE(second.empty());
    EXPECT_NE(second, first);
}

TEST(SmbClient, AbortBeforeAnyRequestCancelsWithoutStartingAHelper)
{
    SmbClient client(FAKE_SMB_HELPER);
    client.abort();
    std::vector<FileEntry> entries;
    EXPECT_EQ(client.listFolder("smb://LOCAL/tmp", entries), ECANCELED);
    int handle = 0;
    EXPECT_EQ(client.openFile("smb://LOCAL/etc/hostname", handle), ECANCELED);
    EXPECT_EQ(client.helperPid(), 0);
}

TEST(SmbClient, RequestsFromManyThreadsAreServedOneAtATime)
{
    SmbClient client(FAKE_SMB_HELPER);
    const std::string pid = reportedPid(client);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                std::vector<SmbNetEntry> entries;
                if (client.listNetwork("smb://PID", entries) != 0 || entries.size() != 1 || entries[0].name != pid)
                    ++failures;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(SmbClient, RacingAbortsNeverLeaveARequestHanging)
{
    // abort() and reset() from one thread while another keeps asking: every request
    // ends, with an answer or ECANCELED (or EPIPE when a reset came first).
    SmbClient client(FAKE_SMB_HELPER);
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::atomic<int> unexpected{0};
    std::thread asker([&] {
        while (!stop) {
            std::vector<SmbNetEntry> entries;
            const int rc = client.listNetwork("smb://PID", entries);
            if (rc == 0)
                ++answered;
            else if (rc != ECANCELED && rc != EPIPE)
                ++unexpected;
        }
    });
    for (int i = 0; i < 30; ++i) {
        std::this_thread::sleep_for(3ms);
        client.abort();
        std::this_thread::sleep_for(1ms);
        client.reset();
    }
    std::this_thread::sleep_for(50ms);
    stop = true;
    asker.join();
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_GT(answered.load(), 0);
}

TEST(SmbClient, HandleOfADeadHelperReadsAsAnError)
{
    TempTree tree({{"a.txt", std::string(600000, 'a')}});
    SmbClient client(FAKE_SMB_HELPER);
    const auto url = SmbUrl::fromNetworkName(networkName(tree.path("a.txt")));
    ASSERT_TRUE(url);
    int handle = -1;
    ASSERT_EQ(client.openFile(url->url(), handle), 0);
    char buffer[1000];
    ASSERT_EQ(client.read(handle, buffer, sizeof buffer), 1000);
    std::vector<SmbNetEntry> entries;
    EXPECT_EQ(client.listNetwork("smb://CRASH", entries), EPIPE);
    // What was already fetched may still be served; past it the read fails, and the
    // new helper's handles are never confused with the old one's.
    std::int64_t n = 0;
    std::int64_t total = 1000;
    while ((n = client.read(handle, buffer, sizeof buffer)) > 0)
        total += n;
    EXPECT_EQ(n, -1);
    EXPECT_LT(total, 600000);
    client.closeFile(handle);
    EXPECT_EQ(client.read(handle, buffer, sizeof buffer), -1) << "closed handle";
}

TEST(SmbClient, ProtocolErrorsAndMissingHelpers)
{
    std::vector<SmbNetEntry> entries;
    // A helper that cannot be started is the installation's fault, told apart from
    // every answer of a server (a missing helper used to read as ENOENT, "no such
    // computer").
    SmbClient missing("/nonexistent/qv-smb");
    EXPECT_EQ(missing.listNetwork("smb://", entries), ENOPKG);
    EXPECT_EQ(missing.helperFault(),
              "the SMB helper /nonexistent/qv-smb cannot be started (No such file or directory): "
              "the installation is incomplete");
    SmbClient mute("/bin/true"); // ends at once
    EXPECT_EQ(mute.listNetwork("smb://", entries), ENOPKG);
    EXPECT_NE(mute.helperFault().find("/bin/true cannot be started (it ended without answering)"), std::string::npos)
        << mute.helperFault();
    SmbClient echo("/bin/cat"); // answers the hello with the hello itself
    EXPECT_EQ(echo.listNetwork("smb://", entries), ENOPKG);
    EXPECT_NE(echo.helperFault().find("/bin/cat cannot be started"), std::string::npos) << echo.helperFault();
    SmbClient garbled(FAKE_SMB_HELPER);
    EXPECT_EQ(garbled.helperFault(), "");
    EXPECT_EQ(garbled.listNetwork("smb://GARBAGE", entries), EPROTO);
    EXPECT_EQ(garbled.listNetwork("smb://", entries), 0) << "a new helper after the garbled one";
    EXPECT_EQ(names(entries), (std::vector<std::string>{"QVGROUP1", "QVGROUP2"}));
}

TEST(SmbClient, DestructionKillsAHelperThatDoesNotEnd)
{
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    {
        SmbClient client(FAKE_SMB_HELPER);
        std::vector<SmbNetEntry> entries;
        ASSERT_EQ(client.listNetwork("smb://IGNOREEOF", entries), 0);
        pid = client.helperPid();
        ASSERT_GT(pid, 0);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_NE(kill(pid, 0), 0) << "the helper was reaped";
}

TEST(SmbFileSystem, ListsFoldersWithEveryDetailAndOddNames)
{
    TempTree tree({{"sub/", ""},
                   {"日本語ファイル名.txt", "日本語", 1700000000},
                   {"name with space.txt", "s"},
                   {"percent%sign.txt", "p"},
                   {"hash#sign.txt", "h"},
                   {"what?.txt", "q"},
                   {"sub/深い階層/x.txt", "12345", 1600000000}});
    SmbFileSystem files(std::make_shared<SmbClient>(FAKE_SMB_HELPER));
    EXPECT_EQ(files.separator(), '\\');
    const std::string root = networkName(tree.root());
    auto listing = files.list(root);
    ASSERT_TRUE(listing);
    auto entries = listing->entries();
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::vector<std::string> got;
    for (const auto& e : entries) {
        got.push_back(e.name);
        EXPECT_TRUE(e.hasDetails) << e.name;
    }
    EXPECT_EQ(got, (std::vector<std::string>{"hash#sign.txt", "name with space.txt", "percent%sign.txt", "sub",
                                             "what?.txt", "日本語ファイル名.txt"}));
    EXPECT_TRUE(entries[3].isFolder);
    EXPECT_EQ(entries[5].size, 9);
    EXPECT_EQ(entries[5].written, 1700000000);

    auto deep = files.list(root + "\\sub\\深い階層");
    ASSERT_TRUE(deep);
    ASSERT_EQ(deep->entries().size(), 1u);
    EXPECT_EQ(deep->entries()[0].size, 5);
    EXPECT_EQ(deep->entries()[0].written, 1600000000);
    // listSubFolder goes the same way.
    int error = 0;
    EXPECT_TRUE(files.listSubFolder(*listing, "sub", root + "\\sub", error));

    EXPECT_FALSE(files.list(root + "\\missing", error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(files.lastError(), ENOENT);
    EXPECT_FALSE(files.list("\\\\LOCAL", error));
    EXPECT_EQ(error, ENOTDIR);
    EXPECT_EQ(files.lastError(), ENOTDIR);
    EXPECT_FALSE(files.list("no\\such\\name"));
    EXPECT_EQ(files.errorDetail(ENOENT), "");

    SmbFileSystem uninstalled(std::make_shared<SmbClient>("/nonexistent/qv-smb"));
    EXPECT_FALSE(uninstalled.list(root, error));
    EXPECT_EQ(error, ENOPKG);
    EXPECT_NE(uninstalled.errorDetail(error).find("/nonexistent/qv-smb"), std::string::npos);
}

TEST(SmbFileSystem, ReadsFilesInPiecesOfAnySize)
{
    std::string content;
    for (int i = 0; i < 100000; ++i)
        content += "line " + std::to_string(i) + "\n";
    ASSERT_GT(content.size(), 3u * 256 * 1024) << "spans several helper chunks";
    TempTree tree({{"big.txt", content}, {"odd #%.txt", "odd"}, {"empty.txt", ""}});
    SmbFileSystem files(std::make_shared<SmbClient>(FAKE_SMB_HELPER));
    const std::string root = networkName(tree.root());
    for (const std::size_t piece : {std::size_t{4096}, std::size_t{65536}, std::size_t{1} << 20}) {
        auto reader = files.openForReading(root + "\\big.txt");
        ASSERT_TRUE(reader);
        EXPECT_EQ(readAll(*reader, piece), content) << "pieces of " << piece;
    }
    auto odd = files.openForReading(root + "\\odd #%.txt");
    ASSERT_TRUE(odd);
    EXPECT_EQ(readAll(*odd, 7), "odd");
    auto empty = files.openForReading(root + "\\empty.txt");
    ASSERT_TRUE(empty);
    EXPECT_EQ(readAll(*empty, 100), "");
    EXPECT_FALSE(files.openForReading(root + "\\missing.txt"));
    EXPECT_EQ(files.lastError(), ENOENT);
    EXPECT_FALSE(files.openForReading("\\\\LOCAL\\share"));
}

TEST(SmbFileCopier, CopiesAShareFileWholeOrLeavesNothing)
{
    std::string content(700 * 1024, 'x');
    content += "end";
    TempTree tree({{"share/big.bin", content}, {"out/.keep", ""}});
    SmbClient client(FAKE_SMB_HELPER);
    SmbFileCopier copier(client);
    const std::string target = tree.path("out/copy.bin");
    ASSERT_EQ(copier.copy(networkName(tree.root()) + "\\share\\big.bin", target), 0);
    std::ifstream in(target, std::ios::binary);
    std::stringstream copied;
    copied << in.rdbuf();
    EXPECT_EQ(copied.str(), content);

    EXPECT_EQ(copier.copy(networkName(tree.root()) + "\\share\\missing.bin", tree.path("out/none.bin")), ENOENT);
    EXPECT_FALSE(std::ifstream(tree.path("out/none.bin")).good());
    EXPECT_EQ(copier.copy("\\\\LOCAL", tree.path("out/none.bin")), EINVAL) << "a computer is no file";
    EXPECT_EQ(copier.copy(networkName(tree.root()) + "\\share\\big.bin", tree.path("no/such/folder/x")), ENOENT);
}

TEST(SmbFileSystem, ReadersCloseTheirFiles)
{
    TempTree tree({{"a.txt", "abc"}});
    auto client = std::make_shared<SmbClient>(FAKE_SMB_HELPER);
    SmbFileSystem files(client);
    const std::string path = networkName(tree.path("a.txt"));
    const std::string pid = reportedPid(*client);
    // Far more opens than a process may keep descriptors: only works if each reader
    // closes its file in the helper.
    for (int i = 0; i < 3000; ++i) {
        auto reader = files.openForReading(path);
        ASSERT_TRUE(reader) << i;
    }
    EXPECT_EQ(reportedPid(*client), pid);
}

TEST(SmbHelper, IsFoundInTheBuildTree)
{
    const std::string found = SmbClient::findHelper();
    char* real = realpath(found.c_str(), nullptr);
    ASSERT_NE(real, nullptr) << found;
    char* expected = realpath(QV_SMB_HELPER_PATH, nullptr);
    ASSERT_NE(expected, nullptr);
    EXPECT_STREQ(real, expected);
    free(real);
    free(expected);
}

// An installed program finds the helper of its own installation, relative to bin/;
// a build tree's helper at ../platform beside an installed bin/ must not win.
TEST(SmbHelper, InstalledLayoutComesBeforeTheBuildTree)
{
    TempTree tree({{"usr/bin/qvsearch", "x"}, {"usr/libexec/quendle/qv-smb", "x"},
                   {"usr/platform/qv-smb", "x"}, {"build/cli/qvsearch", "x"}, {"build/platform/qv-smb", "x"},
                   {"moved/bin/qvsearch", "x"}});
    for (const char* helper : {"usr/libexec/quendle/qv-smb", "usr/platform/qv-smb", "build/platform/qv-smb"})
        ASSERT_EQ(chmod(tree.path(helper).c_str(), 0755), 0);
    EXPECT_EQ(SmbClient::findHelperFrom(tree.path("usr/bin/qvsearch")), tree.path("usr/bin/../libexec/quendle/qv-smb"));
    EXPECT_EQ(SmbClient::findHelperFrom(tree.path("build/cli/qvsearch")), tree.path("build/cli/../platform/qv-smb"));
    // Nothing there: the installed place is named, so the first request fails with ENOENT.
    EXPECT_EQ(SmbClient::findHelperFrom(tree.path("moved/bin/qvsearch")), tree.path("moved/bin/../libexec/quendle/qv-smb"));
    // A file that is not executable is no helper.
    ASSERT_EQ(chmod(tree.path("usr/libexec/quendle/qv-smb").c_str(), 0644), 0);
    EXPECT_EQ(SmbClient::findHelperFrom(tree.path("usr/bin/qvsearch")), tree.path("usr/bin/../platform/qv-smb"));
}

TEST(SmbHelper, RealHelperStartsAndRefusesBadRequestsWithoutTheNetwork)
{
    // Only requests the helper turns down before any name lookup or connection.
    SmbClient client(QV_SMB_HELPER_PATH);
    client.setServerCredentials("QVHOST1", {"u", "p", "d", true});
    client.setTimeoutMs(2000);
    std::vector<FileEntry> files;
    EXPECT_EQ(client.listFolder("smb://", files), ENOTDIR);
    EXPECT_EQ(client.listFolder("smb://HOST", files), ENOTDIR);
    std::vector<SmbNetEntry> entries;
    EXPECT_EQ(client.listNetwork("http://HOST", entries), EINVAL);
    EXPECT_EQ(client.listNetwork("smb://user@HOST", entries), EINVAL);
    int handle = -1;
    EXPECT_EQ(client.openFile("smb://HOST/share", handle), EISDIR);
    char buffer[16];
    EXPECT_EQ(client.read(12345, buffer, sizeof buffer), -1);
    const pid_t pid = client.helperPid();
    EXPECT_GT(pid, 0);
    client.abort();
    waitUntilDead(pid);
}

TEST(SmbClient, AddressesOfComputersReachEveryHelperItStarts)
{
    SmbClient client(FAKE_SMB_HELPER);
    client.setHostAddress("MORI5", "192.0.2.32");
    client.setHostAddress("Gone", "192.0.2.99");
    client.setHostAddress("GONE", ""); // names compare without case
    EXPECT_EQ(client.hostAddress("mori5"), "192.0.2.32");
    EXPECT_EQ(client.hostAddress("gone"), "");
    std::vector<SmbNetEntry> entries;
    ASSERT_EQ(client.listNetwork("smb://SETTINGS", entries), 0);
    EXPECT_EQ(entries.back().name, "address mori5 192.0.2.32");

    std::vector<SmbNetEntry> none;
    EXPECT_EQ(client.listNetwork("smb://CRASH", none), EPIPE);
    ASSERT_EQ(client.listNetwork("smb://SETTINGS", entries), 0);
    EXPECT_EQ(entries.back().name, "address mori5 192.0.2.32") << "the new helper knows the address too";
}

TEST(SmbClient, AComputerNoNameServiceFindsIsLookedUpOnceAndAskedAgain)
{
    SmbClient client(FAKE_SMB_HELPER);
    std::vector<std::string> asked;
    client.setHostResolver([&](const std::string& name) {
        asked.push_back(name);
        return name == "MORI5" ? std::string("192.0.2.32") : std::string();
    });
    std::vector<SmbNetEntry> entries;
    ASSERT_EQ(client.listNetwork(*SmbUrl::fromNetworkName("\\\\MORI5"), entries), 0);
    EXPECT_EQ(names(entries), std::vector<std::string>{"share-via-192.0.2.32"});
    EXPECT_EQ(client.listNetwork(*SmbUrl::fromNetworkName("\\\\MORI5"), entries), 0) << "known from now on";

    EXPECT_EQ(client.listNetwork(*SmbUrl::fromNetworkName("\\\\NOBODY"), entries), ENOENT);
    EXPECT_EQ(client.listNetwork(*SmbUrl::fromNetworkName("\\\\nobody"), entries), ENOENT);
    EXPECT_EQ(asked, (std::vector<std::string>{"MORI5", "NOBODY"})) << "each name is looked up once";

    // Workgroups and computers named by their address are never looked up.
    EXPECT_EQ(client.listNetwork(*SmbUrl::fromNetworkName("SOMEGROUP"), entries), ENOENT);
    EXPECT_EQ(client.listNetwork(*SmbUrl::fromNetworkName("\\\\192.0.2.77"), entries), ENOENT);
    EXPECT_EQ(client.listNetwork(*SmbUrl::fromNetworkName("\\\\[fe80::1]"), entries), ENOENT);
    EXPECT_EQ(asked.size(), 2u);
}
