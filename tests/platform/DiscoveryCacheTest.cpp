// The cache of discovered computers: what is kept, for how long, and what a damaged
// file gives.
#include "platform/DiscoveryCache.h"
#include "tests/support/TempTree.h"

#include "tests/support/DiscoveredHosts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace qv;
using namespace qv::test;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> names(const std::vector<DiscoveryCache::Entry>& entries)
{
    std::vector<std::string> out;
    for (const auto& e : entries)
        out.push_back(e.host.name + "@" + e.host.address);
    return out;
}

} // namespace

TEST(DiscoveryCache, KeepsHostsWithAddressesAndForgetsTheOld)
{
    TempTree tree;
    const DiscoveryCache cache(tree.path("deep/folder/hosts.tsv")); // folders made on the way
    const std::int64_t day = 24 * 3600;
    ASSERT_TRUE(cache.save({discovered("MORI5", "WSDGROUP", "192.0.2.32", DiscoverySource::WsDiscovery),
                            discovered("NOADDR", "WG", "", DiscoverySource::NetbiosSweep),
                            discovered("bad\tname", "WG", "192.0.2.1", DiscoverySource::NetbiosSweep)},
                           1000 * day));
    ASSERT_TRUE(cache.save({discovered("SAWA7", "LONEGROUP", "192.0.2.34", DiscoverySource::NetbiosSweep),
                            discovered("mori5", "WSDGROUP", "192.0.2.132", DiscoverySource::WsDiscovery)},
                           1003 * day));
    const auto all = cache.load(DiscoveryCache::kKeptFor, 1003 * day);
    // By source, then name.
    EXPECT_EQ(names(all), (std::vector<std::string>{"SAWA7@192.0.2.34", "mori5@192.0.2.132"}))
        << "the newer sighting of the same name and source replaces the older";
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].host.workgroup, "LONEGROUP");
    EXPECT_EQ(all[0].host.source, DiscoverySource::NetbiosSweep);
    EXPECT_EQ(all[0].seen, 1003 * day);

    // Only what was seen within the age asked for; a week later nothing is kept.
    EXPECT_EQ(cache.load(12h, 1003 * day + 11 * 3600).size(), 2u);
    EXPECT_TRUE(cache.load(12h, 1003 * day + 13 * 3600).empty());
    ASSERT_TRUE(cache.save({}, 1011 * day));
    EXPECT_TRUE(cache.load(DiscoveryCache::kKeptFor * 10, 1011 * day).empty());
}

TEST(DiscoveryCache, DamagedOrForeignFilesGiveOnlyTheirGoodLines)
{
    TempTree tree({{"hosts.tsv", "quendle-hosts 1\n"
                                 "100\t3\tMORI5\tWSDGROUP\t0\t192.0.2.32\n"
                                 "100\t9\tBADSOURCE\tWG\t0\t192.0.2.1\n"
                                 "x\t2\tBADTIME\tWG\t0\t192.0.2.1\n"
                                 "100\t2\tBACK\\SLASH\tWG\t0\t192.0.2.1\n"
                                 "100\t2\tSHORT\tWG\t0\n"
                                 "100\t2\tNOADDRESS\tWG\t1\t\n"
                                 "100\t4\thayashi6\tlocal\t1\t192.0.2.33\n"},
                   {"other.tsv", "something else\n100\t3\tMORI5\tWG\t0\t192.0.2.32\n"}});
    const auto good = DiscoveryCache(tree.path("hosts.tsv")).load(1h, 200);
    EXPECT_EQ(names(good), (std::vector<std::string>{"MORI5@192.0.2.32", "hayashi6@192.0.2.33"}));
    EXPECT_TRUE(good[1].host.isDomain);
    EXPECT_TRUE(DiscoveryCache(tree.path("other.tsv")).load(1h, 200).empty());
    EXPECT_TRUE(DiscoveryCache(tree.path("missing.tsv")).load(1h, 200).empty());
    EXPECT_TRUE(DiscoveryCache("").load(1h, 200).empty());
    EXPECT_FALSE(DiscoveryCache("").save({discovered("A", "", "192.0.2.1", DiscoverySource::NetbiosSweep)}));
    // A time in the future is not trusted.
    EXPECT_TRUE(DiscoveryCache(tree.path("hosts.tsv")).load(1h, 50).empty());
}

TEST(DiscoveryCache, LivesInTheXdgCacheFolder)
{
    const char* old = std::getenv("XDG_CACHE_HOME");
    const std::string saved = old ? old : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    setenv("XDG_CACHE_HOME", "/somewhere/cache", 1);
    EXPECT_EQ(DiscoveryCache::defaultPath(), "/somewhere/cache/quendle/hosts.tsv");
    setenv("XDG_CACHE_HOME", "relative/is/ignored", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(DiscoveryCache::defaultPath(), "/home/u/.cache/quendle/hosts.tsv");
    if (old)
        setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CACHE_HOME");
    if (oldHome)
        setenv("HOME", savedHome.c_str(), 1);
    else
        unsetenv("HOME");
}
