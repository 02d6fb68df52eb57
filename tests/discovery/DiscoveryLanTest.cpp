// qv-discover in the test LAN's client namespace: each host is found by the source
// that announces it (wsdd by WS-Discovery, avahi by DNS-SD, nmbd by the sweep) with the
// name, workgroup and address tests/lan/env.sh gives it, by no other source, and
// nothing else is found. Skipped unless run as root with the LAN up.
#include "tests/support/ProcessRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv::test;

namespace {

const std::string kLanDir = std::string(QV_SOURCE_DIR) + "/tests/lan";

bool lanIsUp()
{
    struct stat st {};
    const char* run = std::getenv("QVLAN_RUN");
    return geteuid() == 0 && stat((std::string(run ? run : "/run/qvlan") + "/ready").c_str(), &st) == 0;
}

// What each source should find, as "source<TAB>name<TAB>workgroup<TAB>address" lines in
// sorted order, from env.sh: the WS-Discovery and DNS-SD hosts, and every host that
// runs a NetBIOS name server.
std::string expectedLines(const std::string& only)
{
    const std::string script =
        ". \"$0/env.sh\"; "
        "v=QVLAN_${QVLAN_WSD_HOST}_ADDR; printf 'wsd\\t%s\\t%s\\t%s\\n' $QVLAN_WSD_HOST $QVLAN_WSD_WORKGROUP ${!v}; "
        "v=QVLAN_${QVLAN_MDNS_HOST}_ADDR; m=QVLAN_${QVLAN_MDNS_HOST}_MDNS_HOST; m=${!m}; "
        "printf 'dnssd\\t%s\\tlocal\\t%s\\n' ${m%%.*} ${!v}; "
        "for h in $QVLAN_ALL_HOSTS; do n=QVLAN_${h}_NMBD w=QVLAN_${h}_WG a=QVLAN_${h}_ADDR; "
        "[ \"${!n:-yes}\" = yes ] && printf 'netbios\\t%s\\t%s\\t%s\\n' $h \"${!w}\" ${!a}; done";
    std::string out = runProcess({"/bin/bash", "-c", script, kLanDir}).out;
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = out.substr(start, end - start + 1);
        if (only.empty() || only.find(line.substr(0, line.find('\t'))) != std::string::npos)
            lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string sorted;
    for (const std::string& l : lines)
        sorted += l;
    return sorted;
}

struct Round {
    ProcessResult result;
    std::string lines;   // without the elapsed column, sorted
    int latestMs = 0;    // when the last host came
};

Round discover(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{kLanDir + "/exec", "/usr/bin/env", "QV_DISCOVERY=1", QV_DISCOVER_PATH, "--elapsed"};
    argv.insert(argv.end(), args.begin(), args.end());
    Round round{runProcess(argv), {}, 0};
    std::vector<std::string> lines;
    const std::string& out = round.result.out;
    for (std::size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = out.substr(start, end - start);
        const std::size_t tab = line.rfind('\t');
        lines.push_back(line.substr(0, tab) + "\n");
        round.latestMs = std::max(round.latestMs, std::atoi(line.c_str() + tab + 1));
    }
    std::sort(lines.begin(), lines.end());
    for (const std::string& l : lines)
        round.lines += l;
    return round;
}

class DiscoveryLan : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!lanIsUp())
            GTEST_SKIP() << "the Samba test LAN is not up (run tests/lan/up as root)";
    }
};

TEST_F(DiscoveryLan, EachHostIsFoundByTheSourceThatAnnouncesIt)
{
    const Round round = discover({"-t", "3000"});
    ASSERT_EQ(round.result.status, 0) << round.result.err;
    EXPECT_EQ(round.result.err, "");
    EXPECT_EQ(round.lines, expectedLines(""));
    EXPECT_LE(round.latestMs, 3000);
    EXPECT_LT(round.result.seconds, 4.0);
    std::cout << "[ round    ] " << round.result.seconds << " s\n" << round.result.out;
}

TEST_F(DiscoveryLan, SourcesCanBeChosen)
{
    const Round round = discover({"-t", "2000", "--only", "wsd,dnssd"});
    ASSERT_EQ(round.result.status, 0) << round.result.err;
    EXPECT_EQ(round.lines, expectedLines("wsd,dnssd"));
    EXPECT_LT(round.result.seconds, 3.0);
}

} // namespace
