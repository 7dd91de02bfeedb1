// SPDX-License-Identifier: GPL-3.0-or-later
// The program's ending changes the hand-over for the rest of the process, so these cases live in a
// program of their own.
#include "core/handover.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace corvane;

namespace {

TEST(HandOver, EndingReleasesAWaitingWorkerAndDropsLaterWork) {
    // The UI thread runs no event loop here, so a request the worker queues can only end by being
    // released; whether it is queued before or after the ending, it must not run.
    std::atomic<bool> started{false};
    std::atomic<int> ran{0};
    std::thread worker([&] {
        started = true;
        Synchronize([&] { ++ran; });
        Synchronize([&] { ++ran; });
    });
    while (!started)
        std::this_thread::yield();
    BeginEnding();
    worker.join();
    EXPECT_EQ(ran.load(), 0);
    EXPECT_TRUE(EndingBegun());
    Synchronize([&] { ++ran; });
    EXPECT_EQ(ran.load(), 0);
}

} // namespace
