// qv-discover in network namespaces of its own, where nothing it sends can reach any
// other machine: with no interface up it returns at once and prints nothing; with an
// isolated link (a veth pair) it runs its full round to the timeout, or to a cancel,
// and prints nothing either; with fake peers on that link it finds what they announce
// and nothing of what they must not lead it to. Needs root; skipped otherwise.
#include "tests/support/ProcessRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using namespace qv::test;

namespace {

const char* kUnshare = "/usr/bin/unshare";

// Runs qv-discover with args inside `unshare -n`, after setup (shell) when given; the
// setup finds fake-discovery-peers as $1.
ProcessResult discoverAlone(const std::string& setup, const std::string& args)
{
    const std::string script = "PATH=/usr/sbin:/usr/bin:/sbin:/bin; " + setup + " exec env QV_DISCOVERY=1 \"$0\" " + args;
    return runProcess({kUnshare, "-n", "/bin/sh", "-c", script, QV_DISCOVER_PATH, FAKE_PEERS_PATH});
}

// A veth pair with both ends in the new namespace: a link that is up and has IPv4 and
// IPv6 addresses, and nobody on it.
const std::string kIsolatedLink =
    "ip link set lo up && ip link add qvd0 type veth peer name qvd1 && ip addr add 10.99.0.1/24 dev qvd0 && "
    "ip link set qvd0 up && "
    "ip link set qvd1 up || exit 3; "
    "for i in $(seq 50); do ip link show qvd0 | grep -q LOWER_UP && break; sleep 0.02; done;";

std::string sortedLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start + 1));
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& l : lines)
        out += l;
    return out;
}

class NoNetwork : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0 || access(kUnshare, X_OK) != 0)
            GTEST_SKIP() << "network namespaces need root and unshare";
    }
};

TEST_F(NoNetwork, NoInterfaceReturnsAtOnceAndQuietly)
{
    const ProcessResult r = discoverAlone("", "-t 3000");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_LT(r.seconds, 1.0);
}

TEST_F(NoNetwork, SilentLinkRunsToTheTimeoutAndPrintsNothing)
{
    const ProcessResult r = discoverAlone(kIsolatedLink, "-t 1500");
    ASSERT_NE(r.status, 3) << "could not set up the isolated link: " << r.err;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_GE(r.seconds, 1.45);
    EXPECT_LT(r.seconds, 2.5);
}

TEST_F(NoNetwork, CancelEndsTheRoundEarly)
{
    const ProcessResult r = discoverAlone(kIsolatedLink, "-t 10000 --cancel-after 300");
    ASSERT_NE(r.status, 3) << r.err;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_LT(r.seconds, 1.5);
}

TEST_F(NoNetwork, FakePeersOnAnIsolatedLinkAreFoundAndTheirTrapsAvoided)
{
    // The peers outlive qv-discover: their output goes to /dev/null, not to its pipes.
    // A second local subnet on the other end of the link, and an address on loopback
    // that is on none of our subnets: the peers point at both.
    const ProcessResult r = discoverAlone(kIsolatedLink + " ip addr add 10.98.0.1/24 dev qvd1 && ip addr add 203.0.113.7/32 dev lo"
                                              " || exit 3; \"$1\" qvd0 10.99.0.1 10.98.0.1 203.0.113.7 3000 >/dev/null 2>&1 &"
                                              " sleep 0.3;",
                                          "-t 1500");
    ASSERT_NE(r.status, 3) << r.err;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // The devices and the host behind refused addresses and the host with a backslash
    // in its name are not there; every other announcement is, once.
    EXPECT_EQ(sortedLines(r.out), "dnssd\tfakemdns\tlocal\t10.99.0.1\n"
                                  "wsd\tFAKEWSD\tFAKEGROUP\t10.99.0.1\n"
                                  "wsd\tRESOLVED\tFAKE.DOMAIN\t10.99.0.1\n");
    EXPECT_LT(r.seconds, 2.5);
}

} // namespace
