// The enumeration discipline: batches, block sizes, and release and close on every path.
#include "network/EnumerationLoop.h"
#include "tests/support/ScriptedNetwork.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace qv;
using namespace qv::test;

namespace {

std::vector<NetResource> names(std::initializer_list<const char*> list)
{
    std::vector<NetResource> out;
    for (const char* n : list)
        out.push_back({n, true, false});
    return out;
}

void expectAllReleased(const ScriptedNetwork& net)
{
    EXPECT_EQ(net.liveBlocks(), 0) << "a block was not released";
    EXPECT_EQ(net.openEnumerations(), 0) << "an enumeration was not closed";
    EXPECT_EQ(net.misuses, 0);
}

EnumerationUser walkUser(int* depth = nullptr)
{
    EnumerationUser user;
    user.kind = EnumKind::QVAllEnum;
    user.depthCounter = depth;
    return user;
}

} // namespace

TEST(EnumerationLoop, EmptyContainerHandlesNothingAndCloses)
{
    ScriptedNetwork net;
    net.setChildren("WG", {});
    int handled = 0;
    const EnumOutcome outcome = EnumerationLoop::run(net, EnumContainer::named("WG"), walkUser(),
                                                     [&](const NetResource&) { return ++handled, true; });
    EXPECT_EQ(outcome, EnumOutcome::Completed);
    EXPECT_EQ(handled, 0);
    expectAllReleased(net);
}

TEST(EnumerationLoop, LaterBatchesAskForNoMoreThanTheLastDelivered)
{
    ScriptedNetwork net;
    net.setChildren("WG", names({"\\\\A", "\\\\B", "\\\\C", "\\\\D", "\\\\E"}));
    net.maxEntriesPerBatch = 2;
    std::vector<std::string> seen;
    int depth = -1;
    std::vector<int> depths;
    EnumerationLoop::run(net, EnumContainer::named("WG"), walkUser(&depth), [&](const NetResource& e) {
        seen.push_back(e.remoteName);
        depths.push_back(depth);
        return true;
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"\\\\A", "\\\\B", "\\\\C", "\\\\D", "\\\\E"}));
    EXPECT_EQ(depths, std::vector<int>(5, 0));
    EXPECT_EQ(depth, -1);
    ASSERT_GE(net.requestsSeen.size(), 3u);
    EXPECT_EQ(net.requestsSeen[0], EnumerationLoop::kRequestAll);
    EXPECT_EQ(net.requestsSeen[1], 2u);
    EXPECT_EQ(net.requestsSeen[2], 2u);
    expectAllReleased(net);
}

TEST(EnumerationLoop, MoreDataEndsAWalkLevelButTheTreeRetriesWithALargerBlock)
{
    ScriptedNetwork net;
    net.setChildren("WG", {{"\\\\SHORT", true, false}, {"\\\\" + std::string(20000, 'L'), true, false}, {"\\\\AFTER", true, false}});
    net.maxEntriesPerBatch = 1;
    int walked = 0;
    EnumerationLoop::run(net, EnumContainer::named("WG"), walkUser(), [&](const NetResource&) { return ++walked, true; });
    EXPECT_EQ(walked, 1);
    expectAllReleased(net);

    EnumerationUser tree;
    tree.kind = EnumKind::DynamicEnum;
    tree.retryOnMoreData = true;
    int listed = 0;
    EnumerationLoop::run(net, EnumContainer::named("WG"), tree, [&](const NetResource&) { return ++listed, true; });
    EXPECT_EQ(listed, 3);
    expectAllReleased(net);
}

TEST(EnumerationLoop, FailingOpenReleasesTheNameRecord)
{
    ScriptedNetwork net;
    EnumerationUser user;
    user.kind = EnumKind::QVGroup;
    user.reuseNameRecord = true;
    EXPECT_EQ(EnumerationLoop::run(net, EnumContainer::named("GONE"), user, [](const NetResource&) { return true; }),
              EnumOutcome::OpenFailed);
    expectAllReleased(net);
}

TEST(EnumerationLoop, StopAsksForNothingMore)
{
    ScriptedNetwork net;
    net.setChildren("WG", names({"\\\\A", "\\\\B", "\\\\C", "\\\\D"}));
    net.maxEntriesPerBatch = 2;
    std::vector<std::string> seen;
    EnumerationUser user;
    user.kind = EnumKind::QVGroup;
    user.reuseNameRecord = true;
    const EnumOutcome outcome = EnumerationLoop::run(net, EnumContainer::named("WG"), user, [&](const NetResource& e) {
        seen.push_back(e.remoteName);
        return seen.size() < 1;
    });
    EXPECT_EQ(outcome, EnumOutcome::Stopped);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(net.requestsSeen.size(), 1u);
    expectAllReleased(net);
}

TEST(EnumerationLoop, FailureOrErrorMidListCountsAsItsEnd)
{
    ScriptedNetwork net;
    net.setChildren("WG", names({"\\\\A", "\\\\B", "\\\\C"}));
    net.maxEntriesPerBatch = 1;
    net.failingAfterFirstBatch.insert("WG");
    int handled = 0;
    EXPECT_EQ(EnumerationLoop::run(net, EnumContainer::named("WG"), walkUser(), [&](const NetResource&) { return ++handled, true; }),
              EnumOutcome::Completed);
    EXPECT_EQ(handled, 1);
    expectAllReleased(net);

    // An error inside the handler ends the list and goes to the user's onError...
    int depth = -1;
    EnumerationUser told = walkUser(&depth);
    std::vector<std::string> errors;
    told.onError = [&](const std::exception& error) { errors.push_back(error.what()); };
    EXPECT_EQ(EnumerationLoop::run(net, EnumContainer::named("WG"), told,
                                   [](const NetResource&) -> bool { throw std::runtime_error("out of memory"); }),
              EnumOutcome::Completed);
    EXPECT_EQ(depth, -1);
    EXPECT_EQ(errors, std::vector<std::string>{"out of memory"});
    expectAllReleased(net);
}

// An error inside a handler was swallowed whatever the user: now a user without an
// onError gets it back, with the blocks released and the enumeration closed.
TEST(EnumerationLoop, ErrorNobodyTakesGoesOnToTheCallerAfterTheClose)
{
    ScriptedNetwork net;
    net.setChildren("WG", names({"\\\\A", "\\\\B"}));
    int depth = -1;
    EXPECT_THROW(EnumerationLoop::run(net, EnumContainer::named("WG"), walkUser(&depth),
                                      [](const NetResource&) -> bool { throw std::bad_alloc(); }),
                 std::bad_alloc);
    EXPECT_EQ(depth, -1);
    expectAllReleased(net);
    // An error that is no library exception is not taken by onError either.
    EnumerationUser told = walkUser(&depth);
    told.onError = [](const std::exception&) { ADD_FAILURE() << "an int is no std::exception"; };
    EXPECT_THROW(EnumerationLoop::run(net, EnumContainer::named("WG"), told, [](const NetResource&) -> bool { throw 7; }),
                 int);
    expectAllReleased(net);
}
