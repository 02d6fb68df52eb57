// Pause holds a walk at a step boundary; stop lets a held walk go and end.
#include "search/StopRequest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace qv;
using namespace std::chrono_literals;

TEST(StopRequest, PauseHoldsUntilResume)
{
    StopRequest stop;
    stop.pause();
    std::atomic<int> steps{0};
    std::thread worker([&] {
        while (!stop.shouldStop() && steps < 1000)
            ++steps;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(steps.load(), 0) << "a paused worker took steps";
    stop.resume();
    worker.join();
    EXPECT_EQ(steps.load(), 1000);
}

TEST(StopRequest, StopWhilePausedLetsTheWorkerEnd)
{
    StopRequest stop;
    stop.pause();
    std::atomic<bool> ended{false};
    bool answer = false;
    std::thread worker([&] {
        answer = stop.shouldStop();
        ended = true;
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(ended.load());
    stop.request();
    worker.join();
    EXPECT_TRUE(answer);
    stop.reset();
    EXPECT_FALSE(stop.shouldStop());
    EXPECT_FALSE(stop.isPaused());
}
