// SPDX-License-Identifier: GPL-3.0-or-later
// Work in slices on the event loop: other events run between slices, the task ends when its step
// says so, and it may be stopped or destroyed from its own progress call.
#include "logstore/slicedtask.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using corvane::SlicedTask;

namespace {

bool RunEventsUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10'000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

TEST(SlicedTask, RunsSlicesUntilDoneWithOtherEventsBetween) {
    int slices = 0;
    int progress = 0;
    bool finished = false;
    int slicesBeforeOtherEvent = -1;
    SlicedTask task(
        [&](SlicedTask::Clock::time_point deadline) {
            EXPECT_LE(deadline, SlicedTask::Clock::now() + SlicedTask::kSlice);
            return ++slices == 5;
        },
        [&](bool done) {
            ++progress;
            finished = done;
        });
    task.Start();
    QTimer::singleShot(0, [&] { slicesBeforeOtherEvent = slices; });
    ASSERT_TRUE(RunEventsUntil([&] { return finished; }));
    EXPECT_EQ(slices, 5);
    EXPECT_EQ(progress, 5);
    EXPECT_FALSE(task.Running());
    EXPECT_GE(slicesBeforeOtherEvent, 0);
    EXPECT_LT(slicesBeforeOtherEvent, 5) << "the other event ran while the task was running";

    // Stopped, it runs no more slices; started again, it goes on.
    task.Start();
    task.Stop();
    QCoreApplication::processEvents();
    EXPECT_EQ(slices, 5);
}

TEST(SlicedTask, MayBeDestroyedFromItsProgressCall) {
    int slices = 0;
    std::unique_ptr<SlicedTask> task;
    task = std::make_unique<SlicedTask>(
        [&](SlicedTask::Clock::time_point) { return ++slices > 100; }, [&](bool) { task.reset(); });
    task->Start();
    ASSERT_TRUE(RunEventsUntil([&] { return !task; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(slices, 1);
}

// Tasks running at once share a turn's slice, so that a turn holds up the event loop no longer
// with two of them than with one.
TEST(SlicedTask, TasksRunningAtOnceShareTheSlice) {
    int firstSlices = 0;
    int secondSlices = 0;
    const auto step = [](int& slices) {
        return [&slices](SlicedTask::Clock::time_point deadline) {
            EXPECT_LE(deadline, SlicedTask::Clock::now() + SlicedTask::kSlice / 2);
            ++slices;
            return false;
        };
    };
    SlicedTask first(step(firstSlices), {});
    SlicedTask second(step(secondSlices), {});
    first.Start();
    second.Start();
    EXPECT_TRUE(RunEventsUntil([&] { return firstSlices >= 3 && secondSlices >= 3; }));
    first.Stop();
    second.Stop();

    // Alone again: the whole slice.
    bool whole = false;
    SlicedTask alone(
        [&](SlicedTask::Clock::time_point deadline) {
            whole = deadline > SlicedTask::Clock::now() + SlicedTask::kSlice / 2;
            return true;
        },
        {});
    alone.Start();
    EXPECT_TRUE(RunEventsUntil([&] { return !alone.Running(); }));
    EXPECT_TRUE(whole);
}

} // namespace
