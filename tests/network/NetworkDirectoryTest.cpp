// The network directory: how the sources' reports merge into one record per computer,
// discovery rounds, and the lists the SMB enumerator makes with it.
#include "network/EnumerationLoop.h"
#include "network/LanNetwork.h"
#include "network/NetworkDirectory.h"
#include "network/SmbNetworkEnumerator.h"
#include "platform/SmbClient.h"
#include "platform/discovery/LanDiscovery.h"

#include "tests/support/DiscoveredHosts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace qv;
using namespace qv::test;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> namesOf(const std::vector<NetworkDirectory::Computer>& computers)
{
    std::vector<std::string> out;
    for (const auto& c : computers)
        out.push_back(c.name);
    return out;
}

// A discoverer that reports its hosts one by one, `gap` apart, unless cancelled.
NetworkDirectory::Discoverer scripted(std::vector<DiscoveredHost> hosts, std::chrono::milliseconds gap,
                                      std::atomic<int>* rounds = nullptr)
{
    return [hosts, gap, rounds](const std::function<void(const DiscoveredHost&)>& found,
                                const std::atomic<bool>& cancel) {
        if (rounds)
            ++*rounds;
        for (const DiscoveredHost& h : hosts) {
            for (auto waited = 0ms; waited < gap; waited += 5ms) {
                if (cancel.load())
                    return;
                std::this_thread::sleep_for(5ms);
            }
            found(h);
        }
    };
}

// Every entry of one container, through the enumeration loop as the search walks it,
// with the batches marked.
std::vector<std::string> walkList(NetworkEnumerator& enumerator, const EnumContainer& container)
{
    std::vector<std::string> out;
    EnumerationUser user;
    EnumerationLoop::run(enumerator, container, user, [&](const NetResource& entry) {
        out.push_back(entry.remoteName);
        return true;
    });
    return out;
}

} // namespace

TEST(NetworkDirectory, EachFieldComesFromTheMostTrustedSourceThatTellsIt)
{
    NetworkDirectory directory;
    directory.add(discovered("hayashi6", "local", "192.0.2.33", DiscoverySource::DnsSd));
    directory.add(discovered("Mori5", "WSDGROUP", "192.0.2.32", DiscoverySource::WsDiscovery));
    directory.add(discovered("MORI5", "", "192.0.2.132", DiscoverySource::NetbiosSweep));
    directory.add(discovered("HAYASHI6", "", "", DiscoverySource::WsDiscovery));

    const auto mori = directory.find("mori5");
    ASSERT_TRUE(mori);
    EXPECT_EQ(mori->name, "MORI5") << "the sweep's spelling outranks WS-Discovery's";
    EXPECT_EQ(mori->workgroup, "WSDGROUP") << "a source that tells no workgroup takes none away";
    EXPECT_EQ(mori->address, "192.0.2.132");
    EXPECT_EQ(mori->sources, (1u << int(DiscoverySource::NetbiosSweep)) | (1u << int(DiscoverySource::WsDiscovery)));

    const auto hayashi = directory.find("Hayashi6");
    ASSERT_TRUE(hayashi);
    EXPECT_EQ(hayashi->workgroup, "local") << "DNS-SD's domain while nothing else names a workgroup";
    directory.add(discovered("hayashi6", "HOMEGROUP", "", DiscoverySource::WsDiscovery));
    EXPECT_EQ(directory.find("HAYASHI6")->workgroup, "HOMEGROUP");
    directory.add(discovered("hayashi6", "local", "192.0.2.33", DiscoverySource::DnsSd));
    EXPECT_EQ(directory.find("HAYASHI6")->workgroup, "HOMEGROUP") << "the domain never takes the place back";
    EXPECT_EQ(directory.find("HAYASHI6")->address, "192.0.2.33");

    // The browse list says where a computer belongs, whatever discovery said before.
    directory.add(discovered("KITA4", "LONEGROUP", "192.0.2.31", DiscoverySource::NetbiosSweep));
    directory.noteBrowseList("QVGROUP1", {"kita4"});
    EXPECT_EQ(directory.find("KITA4")->workgroup, "QVGROUP1");
    EXPECT_EQ(directory.find("KITA4")->name, "kita4");
    EXPECT_EQ(directory.find("KITA4")->address, "192.0.2.31");
}

TEST(NetworkDirectory, UnusableNamesAndAddressesAreDropped)
{
    NetworkDirectory directory;
    for (const char* bad : {"", "a\\b", "a/b", "tab\there", "nl\n", "del\x7f"})
        directory.add(discovered(bad, "WG", "192.0.2.9", DiscoverySource::NetbiosSweep));
    EXPECT_TRUE(directory.computers().empty());
    directory.add(discovered("OK1", "bad\\group", "not-an-address", DiscoverySource::WsDiscovery));
    const auto ok = directory.find("OK1");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->workgroup, "");
    EXPECT_EQ(ok->address, "");
}

TEST(NetworkDirectory, ListsWorkgroupsAndMembersByNameWithoutCase)
{
    NetworkDirectory directory;
    directory.add(discovered("zeta", "beta", "192.0.2.1", DiscoverySource::NetbiosSweep));
    directory.add(discovered("Alpha", "BETA", "192.0.2.2", DiscoverySource::WsDiscovery));
    directory.add(discovered("mid", "alpha", "192.0.2.3", DiscoverySource::NetbiosSweep));
    directory.add(discovered("nowhere", "", "192.0.2.4", DiscoverySource::WsDiscovery));
    EXPECT_EQ(directory.workgroups(), (std::vector<std::string>{"alpha", "beta", NetworkDirectory::kDefaultWorkgroup}));
    EXPECT_EQ(namesOf(directory.membersOf("Beta")), (std::vector<std::string>{"Alpha", "zeta"}));
    EXPECT_EQ(namesOf(directory.membersOf("workgroup")), std::vector<std::string>{"nowhere"});
}

TEST(NetworkDirectory, TypedComputersTakeNetworkNamesOnce)
{
    NetworkDirectory directory;
    EXPECT_TRUE(directory.addTypedComputer("\\\\MORI5"));
    EXPECT_TRUE(directory.addTypedComputer("\\\\192.0.2.40\\"));
    EXPECT_TRUE(directory.addTypedComputer("\\\\[fe80::1]"));
    EXPECT_FALSE(directory.addTypedComputer("\\\\mori5")) << "already listed";
    for (const char* bad : {"", "MORI5", "\\\\MORI5\\docs", "\\\\", "\\\\a\\\\b"})
        EXPECT_FALSE(directory.addTypedComputer(bad)) << bad;
    EXPECT_EQ(directory.typedComputers(), (std::vector<std::string>{"\\\\MORI5", "\\\\192.0.2.40", "\\\\[fe80::1]"}));
    EXPECT_TRUE(directory.removeTypedComputer("\\\\Mori5"));
    EXPECT_FALSE(directory.removeTypedComputer("\\\\Mori5"));
    EXPECT_EQ(directory.typedComputers().size(), 2u);
}

TEST(NetworkDirectory, ARoundRunsOnceInTheBackgroundAndTellsListenersAndClients)
{
    std::atomic<int> rounds{0};
    NetworkDirectory directory(scripted({discovered("MORI5", "WSDGROUP", "192.0.2.32", DiscoverySource::WsDiscovery),
                                         discovered("SAWA7", "LONEGROUP", "192.0.2.34", DiscoverySource::NetbiosSweep)},
                                        20ms, &rounds));
    auto client = std::make_shared<SmbClient>("/nonexistent/qv-smb");
    directory.attach(client);
    std::atomic<int> told{0};
    const int id = directory.subscribe([&] { ++told; });

    EXPECT_FALSE(directory.discoveryDone());
    directory.startDiscovery();
    directory.startDiscovery(); // already running: no second round
    directory.waitForDiscovery();
    EXPECT_TRUE(directory.discoveryDone());
    directory.startDiscovery(); // already ran
    directory.waitForDiscovery();
    EXPECT_EQ(rounds.load(), 1);
    // The round's end is told just after the wait is over, on the round's thread.
    for (int i = 0; i < 200 && told.load() < 3; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(told.load(), 3) << "two hosts and the round's end";
    EXPECT_EQ(client->hostAddress("mori5"), "192.0.2.32");
    EXPECT_EQ(client->hostAddress("SAWA7"), "192.0.2.34");

    directory.unsubscribe(id);
    directory.rediscover();
    directory.waitForDiscovery();
    EXPECT_EQ(rounds.load(), 2);
    EXPECT_EQ(told.load(), 3);

    // A client attached later learns what is known at once.
    auto late = std::make_shared<SmbClient>("/nonexistent/qv-smb");
    directory.attach(late);
    EXPECT_EQ(late->hostAddress("MORI5"), "192.0.2.32");
}

TEST(NetworkDirectory, ResolvingRunsARoundOnlyForNamesItDoesNotKnow)
{
    std::atomic<int> rounds{0};
    NetworkDirectory directory(
        scripted({discovered("MORI5", "WSDGROUP", "192.0.2.32", DiscoverySource::WsDiscovery)}, 10ms, &rounds));
    directory.add(discovered("KNOWN", "WG", "192.0.2.8", DiscoverySource::NetbiosSweep));
    EXPECT_EQ(directory.resolve("known"), "192.0.2.8");
    EXPECT_EQ(rounds.load(), 0);
    EXPECT_EQ(directory.resolve("mori5"), "192.0.2.32");
    EXPECT_EQ(directory.resolve("nobody"), "");
    EXPECT_EQ(rounds.load(), 1) << "one round per session answers every later question";

    NetworkDirectory without;
    EXPECT_EQ(without.resolve("mori5"), "");
}

TEST(NetworkDirectory, StopAndDestructionDoNotWaitForALongRound)
{
    auto directory = std::make_unique<NetworkDirectory>(
        scripted({discovered("SLOW", "WG", "192.0.2.9", DiscoverySource::WsDiscovery)}, 10s));
    directory->startDiscovery();
    const auto start = std::chrono::steady_clock::now();
    std::atomic<int> asked{0};
    directory->waitForDiscovery([&] { return ++asked >= 3; });
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    directory.reset(); // cancels the round
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(SmbNetworkEnumerator, DiscoveredWorkgroupsFollowTheBrowseListInABatchOfTheirOwn)
{
    SmbClient client(FAKE_SMB_HELPER); // browses QVGROUP1 and QVGROUP2; no workgroup lists
    auto directory = std::make_shared<NetworkDirectory>(
        scripted({discovered("SAWA7", "LONEGROUP", "192.0.2.34", DiscoverySource::NetbiosSweep),
                  discovered("hayashi6", "local", "192.0.2.33", DiscoverySource::DnsSd),
                  discovered("QVHOST1", "QVGROUP1", "192.0.2.11", DiscoverySource::NetbiosSweep),
                  discovered("MORI5", "WSDGROUP", "192.0.2.32", DiscoverySource::WsDiscovery)},
                 30ms));
    const std::shared_ptr<SmbClient> attached(&client, [](SmbClient*) {});
    directory->attach(attached);
    SmbNetworkEnumerator enumerator(client, directory);
    const NetResource provider{SmbNetworkEnumerator::kProviderName, true, false};

    // The browse list's workgroups come at once, before the round has ended.
    NetworkEnumerator::Handle handle = 0;
    ASSERT_TRUE(enumerator.open(EnumContainer::ofEntry(provider), handle));
    auto block = enumerator.allocateBlock(16384, EnumKind::QVAllEnum);
    std::uint32_t requested = 0xFFFFFFFF, size = 16384;
    ASSERT_EQ(enumerator.nextBatch(handle, requested, *block, size), EnumResult::Ok);
    EXPECT_EQ(requested, 2u);
    EXPECT_FALSE(directory->discoveryDone());
    requested = 0xFFFFFFFF;
    ASSERT_EQ(enumerator.nextBatch(handle, requested, *block, size), EnumResult::Ok);
    EXPECT_TRUE(directory->discoveryDone()) << "the second batch waits for the round";
    std::vector<std::string> extras;
    for (std::uint32_t i = 0; i < requested; ++i)
        extras.push_back(block->entries[i].remoteName);
    EXPECT_EQ(extras, (std::vector<std::string>{"local", "LONEGROUP", "WSDGROUP"}));
    requested = 0xFFFFFFFF;
    EXPECT_EQ(enumerator.nextBatch(handle, requested, *block, size), EnumResult::NoMoreItems);
    enumerator.releaseBlock(std::move(block), EnumKind::QVAllEnum);
    enumerator.close(handle);

    // A workgroup without a browse list is what discovery found of it; a browse
    // list's computers are not listed twice.
    EXPECT_EQ(walkList(enumerator, EnumContainer::named("LONEGROUP")), std::vector<std::string>{"\\\\SAWA7"});
    EXPECT_EQ(walkList(enumerator, EnumContainer::named("qvgroup1")), std::vector<std::string>{"\\\\QVHOST1"});
    EXPECT_TRUE(walkList(enumerator, EnumContainer::named("NOSUCHGROUP")).empty());
    // Their computers are reached at the address discovery gave.
    EXPECT_EQ(walkList(enumerator, EnumContainer::named("\\\\MORI5")),
              std::vector<std::string>{"\\\\MORI5\\share-via-192.0.2.32"});
    EXPECT_EQ(enumerator.openEnumerations(), 0);
    EXPECT_EQ(enumerator.liveBlocks(), 0);

    directory->addTypedComputer("\\\\192.0.2.50");
    EXPECT_EQ(walkList(enumerator, EnumContainer::named(NetworkDirectory::typedGroupName())),
              std::vector<std::string>{"\\\\192.0.2.50"});
}

TEST(SmbNetworkEnumerator, TheTreeGetsWhatIsKnownNowWithoutWaiting)
{
    SmbClient client(FAKE_SMB_HELPER);
    auto directory = std::make_shared<NetworkDirectory>(
        scripted({discovered("MORI5", "WSDGROUP", "192.0.2.32", DiscoverySource::WsDiscovery)}, 5s));
    directory->add(discovered("SAWA7", "LONEGROUP", "192.0.2.34", DiscoverySource::NetbiosSweep));
    SmbNetworkEnumerator enumerator(client, directory, SmbNetworkEnumerator::Discovered::KnownNow);
    std::vector<NetResource> children;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(enumerator.childrenOf(EnumContainer::ofEntry({SmbNetworkEnumerator::kProviderName, true, false}),
                                      children));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(children[2].remoteName, "LONEGROUP");
}

TEST(SmbNetworkEnumerator, AStoppedSearchDoesNotWaitForTheRound)
{
    SmbClient client(FAKE_SMB_HELPER);
    auto directory = std::make_shared<NetworkDirectory>(
        scripted({discovered("SLOW", "WSDGROUP", "192.0.2.32", DiscoverySource::WsDiscovery)}, 10s));
    SmbNetworkEnumerator enumerator(client, directory);
    std::thread stopper([&] {
        std::this_thread::sleep_for(200ms);
        client.abort(); // what Stop does to the search's client
    });
    const auto start = std::chrono::steady_clock::now();
    walkList(enumerator, EnumContainer::ofEntry({SmbNetworkEnumerator::kProviderName, true, false}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    stopper.join();
    EXPECT_EQ(enumerator.openEnumerations(), 0);
}

TEST(LanNetwork, CachedAddressesOfAnotherNetworkAreNotUsed)
{
    std::vector<DiscoveryCache::Entry> cached(3);
    cached[0].host = discovered("MORI5", "WSDGROUP", "192.0.2.32", DiscoverySource::WsDiscovery);
    cached[1].host = discovered("FARAWAY", "WG", "198.51.100.7", DiscoverySource::NetbiosSweep);
    cached[2].host = discovered("V6", "WG", "fe80::1%eth0", DiscoverySource::DnsSd);
    const auto usable = LanNetwork::usableCached(
        cached, [](const std::string& address) { return address.rfind("192.0.2.", 0) == 0; });
    ASSERT_EQ(usable.size(), 1u);
    EXPECT_EQ(usable[0].host.name, "MORI5");
    // The machine's own test: an address in TEST-NET-2 is on none of its subnets,
    // nor is garbage.
    EXPECT_FALSE(LanDiscovery::isOnLocalSubnet("198.51.100.7"));
    EXPECT_FALSE(LanDiscovery::isOnLocalSubnet("not an address"));
    EXPECT_FALSE(LanDiscovery::isOnLocalSubnet("127.0.0.1")) << "loopback is no LAN";
}
