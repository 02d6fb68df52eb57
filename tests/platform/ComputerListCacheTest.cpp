// The computers of the last network walk: kept in order, names that cannot be kept left
// out, and what was found about help forgotten after a day.
#include "platform/ComputerListCache.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace qv;
using namespace qv::test;

TEST(ComputerListCache, KeepsTheOrderAndWhatHelpDidForADay)
{
    TempTree tree;
    const ComputerListCache cache(tree.path("deep/computers.tsv"));
    EXPECT_TRUE(cache.load().empty()) << "no file yet";
    const std::int64_t t = 1000000;
    ASSERT_TRUE(cache.save({{"WG", "\\\\ZED", true, t},
                            {"WG", "\\\\ALPHA", false, t - ComputerListCache::kHelpKeptFor + 10},
                            {"WG", "no backslashes"},
                            {"bad\tgroup", "\\\\TAB"},
                            {"日本語グループ", "\\\\[fe80::1]"}}));
    const auto now = cache.load(t + 5);
    ASSERT_EQ(now.size(), 3u);
    EXPECT_EQ(now[0].workgroup + now[0].computer, "WG\\\\ZED");
    EXPECT_EQ(now[0].helpPays, std::optional<bool>(true));
    EXPECT_EQ(now[1].computer, "\\\\ALPHA");
    EXPECT_EQ(now[1].helpPays, std::optional<bool>(false));
    EXPECT_EQ(now[2].workgroup + now[2].computer, "日本語グループ\\\\[fe80::1]");
    EXPECT_FALSE(now[2].helpPays.has_value());

    const auto later = cache.load(t + 20);
    ASSERT_EQ(later.size(), 3u) << "the computers stay";
    EXPECT_TRUE(later[0].helpPays.has_value());
    EXPECT_FALSE(later[1].helpPays.has_value()) << "found more than a day ago: found out again";

    // Another kind of file, or lines cut short, give nothing of what they hold.
    std::ofstream(tree.path("other.tsv")) << "quendle-hosts 1\nWG\tX\t1\t5\n";
    EXPECT_TRUE(ComputerListCache(tree.path("other.tsv")).load().empty());
    std::ofstream(tree.path("cut.tsv")) << "quendle-computers 1\nWG\tX\t1\t" << t << "\nWG\tY\nWG\t\t\t\n";
    const auto cut = ComputerListCache(tree.path("cut.tsv")).load(t);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].computer, "\\\\X");
}
