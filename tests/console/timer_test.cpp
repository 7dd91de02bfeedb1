// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/ttimer.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(IntervalTimer, TicksOnlyWhileEnabledWithANonZeroInterval) {
    TTimer timer(nullptr);
    int ticks = 0;
    QObject::connect(&timer, &TTimer::Timer, [&] { ++ticks; });
    timer.SetInterval(0);
    timer.SetEnabled(true);
    // A second timer that does tick proves the event loop ran long enough for the first to.
    TTimer witness(nullptr);
    int witnessed = 0;
    QObject::connect(&witness, &TTimer::Timer, [&] { ++witnessed; });
    witness.SetInterval(5);
    witness.SetEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return witnessed >= 20; }, 10000));
    EXPECT_EQ(ticks, 0);

    timer.SetInterval(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }, 10000));
    timer.SetEnabled(false);
    const int stopped = ticks;
    witnessed = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return witnessed >= 20; }, 10000));
    EXPECT_EQ(ticks, stopped);
}

TEST(IntervalTimer, ANewIntervalRestartsThePeriod) {
    TTimer timer(nullptr);
    int ticks = 0;
    QObject::connect(&timer, &TTimer::Timer, [&] { ++ticks; });
    timer.SetInterval(60'000);
    timer.SetEnabled(true);
    timer.SetInterval(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks > 0; }, 10000));
    EXPECT_EQ(timer.Interval(), 1u);
}

TEST(IntervalTimer, IntervalsBeyondThePlatformsLimitAreClampedNotRefused) {
    TTimer timer(nullptr);
    timer.SetInterval(0xFFFFFFFFu); // a negative spin-edit value read as unsigned
    EXPECT_NO_THROW(timer.SetEnabled(true));
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 0xFFFFFFFFu);
}

TEST(IntervalTimer, RefusedByThePlatformRaisesNotEnoughTimers) {
    // A thread without an event loop cannot host timers: the platform refuses.
    std::string message;
    std::thread worker([&] {
        TTimer timer(nullptr);
        timer.SetInterval(10);
        try {
            timer.SetEnabled(true);
        } catch (const std::exception& e) {
            message = e.what();
        }
    });
    worker.join();
    EXPECT_EQ(message, "Not enough timers available");
}

} // namespace
