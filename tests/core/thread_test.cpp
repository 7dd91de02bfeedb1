// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/thread.h"

#include "core/handover.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

using namespace corvane;

namespace {

// Loops until terminated, handing one counter step to the UI thread per pass.
class Counter : public Thread {
public:
    explicit Counter(std::atomic<int>& destroyed) : destroyed_(destroyed) {}
    ~Counter() override { ++destroyed_; }
    int passes = 0;

protected:
    void Execute() override {
        while (!Terminated()) {
            Synchronize([this] { ++passes; });
            SleepUnlessTerminated(1);
        }
    }

private:
    std::atomic<int>& destroyed_;
};

TEST(Thread, WaitForOnTheUiThreadRunsHandOversUntilTheWorkerEnds) {
    std::atomic<int> destroyed{0};
    {
        Counter counter(destroyed);
        counter.Start();
        ServeHandOversUntil([&] { return counter.passes >= 3; });
        counter.Terminate();
        // The worker may be blocked in a hand-over right now; WaitFor must run it.
        counter.WaitFor();
        EXPECT_TRUE(counter.Finished());
        EXPECT_GE(counter.passes, 3);
    }
    EXPECT_EQ(destroyed.load(), 1);
}

class Sleeper : public Thread {
protected:
    void Execute() override { SleepUnlessTerminated(60'000); }
};

TEST(Thread, TerminateCutsASleepShort) {
    Sleeper sleeper;
    sleeper.Start();
    sleeper.Terminate();
    sleeper.WaitFor(); // would take a minute if the sleep were not cut short
    EXPECT_TRUE(sleeper.Terminated());
}

class SelfFreeing : public Thread {
public:
    explicit SelfFreeing(std::atomic<bool>& gone) : gone_(gone) {}
    ~SelfFreeing() override {
        gone_ = true;
        WakeUiThread();
    }

protected:
    void Execute() override { SetFreeOnTerminate(true); }

private:
    std::atomic<bool>& gone_;
};

TEST(Thread, AFreeOnTerminateThreadDeletesItselfWhenDone) {
    std::atomic<bool> gone{false};
    (new SelfFreeing(gone))->Start();
    ServeHandOversUntil([&] { return gone.load(); });
    EXPECT_TRUE(gone.load());
}

} // namespace
