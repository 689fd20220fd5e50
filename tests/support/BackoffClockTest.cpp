#include "TestWaiting.h"

#include "support/BackoffClock.h"
#include "support/NetworkThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

using namespace std::chrono_literals;

TEST(BackoffClockTest, SecondsBecomeWholeNanosecondsWithinTheTimersReach)
{
    EXPECT_EQ(BackoffClock::durationFromSeconds(2.0), 2s);
    EXPECT_EQ(BackoffClock::durationFromSeconds(1.9999999999), 1999999999ns);
    EXPECT_EQ(BackoffClock::durationFromSeconds(0), 0ns);
    EXPECT_EQ(BackoffClock::durationFromSeconds(-5), 0ns);
    EXPECT_EQ(BackoffClock::durationFromSeconds(std::nan("")), 0ns);
    // 30 seconds to the eleventh power is far beyond 64 bits of nanoseconds.
    EXPECT_EQ(BackoffClock::durationFromSeconds(std::pow(30.0, 11)), BackoffClock::MaximumDelay);
    EXPECT_EQ(BackoffClock::durationFromSeconds(HUGE_VAL), BackoffClock::MaximumDelay);
}

TEST(BackoffClockTest, SystemClockRunsWorkOnceOnTheNetworkThread)
{
    Latch ran;
    std::atomic<int> runs = 0;
    std::atomic<bool> onNetworkThread = false;
    BackoffClock::systemClock()->runAfter(10ms, [&] {
        onNetworkThread = NetworkThread::shared().isCurrentThread();
        ++runs;
        ran.set();
    });
    ASSERT_TRUE(ran.wait());
    // Anything queued after the timer fired has run once the thread is idle.
    NetworkThread::shared().runAndWait([] {});
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(onNetworkThread);
}
