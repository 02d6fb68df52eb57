// The hand-over of rows and texts from the worker: order, a bounded size, and close.
#include "results/RowBatchQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

using namespace qv;
using namespace std::chrono_literals;

namespace {

ResultRow rowNamed(const std::string& name)
{
    ResultRow row;
    row.cell(Column::Name) = name;
    return row;
}

// "r:<name>" for a row, "t:<text>" for a status text, "f:<place>" for a failure.
std::string describe(const RowBatchQueue::Event& event)
{
    if (const auto* row = std::get_if<ResultRow>(&event))
        return "r:" + row->cell(Column::Name);
    if (const auto* failure = std::get_if<PlaceFailure>(&event))
        return "f:" + failure->place;
    return "t:" + std::get<std::string>(event);
}

} // namespace

TEST(RowBatchQueue, RowsAndTextsKeepTheirOrderAcrossDrains)
{
    RowBatchQueue queue(100);
    std::vector<std::string> expected;
    for (int i = 0; i < 20; ++i) {
        if (i % 3 == 0) {
            queue.showStatus("s" + std::to_string(i));
            expected.push_back("t:s" + std::to_string(i));
        } else if (i % 5 == 0) {
            queue.placeFailed(PlaceFailure::of("p" + std::to_string(i), PlaceFailure::Kind::Folder, EACCES, false));
            expected.push_back("f:p" + std::to_string(i));
        } else {
            queue.addRow(rowNamed("n" + std::to_string(i)));
            expected.push_back("r:n" + std::to_string(i));
        }
    }
    EXPECT_EQ(queue.pending(), 20u);
    std::vector<std::string> seen;
    for (auto batch = queue.drain(7); !batch.empty(); batch = queue.drain(7)) {
        EXPECT_LE(batch.size(), 7u);
        for (const auto& e : batch)
            seen.push_back(describe(e));
    }
    EXPECT_EQ(seen, expected);
}

TEST(RowBatchQueue, WakesOnlyWhenTheQueueStopsBeingEmpty)
{
    RowBatchQueue queue(100);
    std::atomic<int> wakes{0};
    queue.setOnPending([&] { ++wakes; });
    queue.addRow(rowNamed("a"));
    queue.addRow(rowNamed("b"));
    queue.showStatus("x");
    EXPECT_EQ(wakes.load(), 1);
    queue.drain(2);
    queue.addRow(rowNamed("c")); // one still waits: no new wake-up
    EXPECT_EQ(wakes.load(), 1);
    queue.drain(10);
    queue.addRow(rowNamed("d"));
    EXPECT_EQ(wakes.load(), 2);
}

TEST(RowBatchQueue, AFullQueueHoldsTheWorkerUntilTheConsumerCatchesUp)
{
    constexpr std::size_t kCapacity = 16;
    constexpr int kEvents = 2000;
    RowBatchQueue queue(kCapacity);
    std::atomic<int> produced{0};
    std::thread worker([&] {
        for (int i = 0; i < kEvents; ++i) {
            queue.addRow(rowNamed(std::to_string(i)));
            ++produced;
        }
    });
    std::vector<std::string> seen;
    int consumed = 0;
    while (consumed < kEvents) {
        std::this_thread::sleep_for(1ms); // a slow consumer
        EXPECT_LE(queue.pending(), kCapacity);
        // The worker never gets more than the capacity (plus the one it is pushing) ahead.
        EXPECT_LE(produced.load() - consumed, static_cast<int>(kCapacity) + 1);
        for (const auto& e : queue.drain(5)) {
            seen.push_back(describe(e));
            ++consumed;
        }
    }
    worker.join();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kEvents));
    for (int i = 0; i < kEvents; ++i)
        ASSERT_EQ(seen[static_cast<std::size_t>(i)], "r:" + std::to_string(i));
}

TEST(RowBatchQueue, CloseLetsABlockedWorkerGoAndDropsTheRest)
{
    RowBatchQueue queue(2);
    queue.addRow(rowNamed("1"));
    queue.addRow(rowNamed("2"));
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        queue.addRow(rowNamed("3")); // the queue is full: waits
        queue.showStatus("after");
        returned = true;
    });
    std::this_thread::sleep_for(80ms);
    EXPECT_FALSE(returned.load()) << "a worker pushed into a full queue";
    queue.close();
    worker.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(queue.pending(), 0u) << "events kept after close";
    queue.addRow(rowNamed("4"));
    EXPECT_EQ(queue.pending(), 0u);
    queue.reopen();
    queue.addRow(rowNamed("5"));
    auto batch = queue.drain(10);
    ASSERT_EQ(batch.size(), 1u);
    EXPECT_EQ(describe(batch[0]), "r:5");
}
