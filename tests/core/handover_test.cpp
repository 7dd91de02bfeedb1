// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/handover.h"

#include "core/exception.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace corvane;

namespace {

TEST(HandOver, RunsWorkOnTheUiThreadFromItsEventLoopAndWaits) {
    const auto uiThread = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i) {
            Synchronize([&, i] {
                EXPECT_EQ(std::this_thread::get_id(), uiThread);
                order.push_back(i);
                if (i == 99)
                    QCoreApplication::quit();
            });
            // The work has run by the time Synchronize returns.
            EXPECT_EQ(order.size(), static_cast<std::size_t>(i + 1));
        }
        returned = true;
    });
    QCoreApplication::exec();
    worker.join();
    EXPECT_TRUE(returned);
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
}

TEST(HandOver, CarriesAnExceptionBackToTheWorker) {
    ByteString caught;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            Synchronize([] { throw EConvertError("No Hex-Number"); });
        } catch (const EConvertError& e) {
            caught = e.Message();
        }
        done = true;
        WakeUiThread();
    });
    ServeHandOversUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(caught, "No Hex-Number");
}

TEST(HandOver, OnTheUiThreadRunsAtOnce) {
    int ran = 0;
    Synchronize([&] { ++ran; });
    EXPECT_EQ(ran, 1);
}

TEST(HandOver, InterleavedWorkersKeepTheirOwnOrderAndNeverMix) {
    std::vector<std::pair<int, int>> seen;
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < 200; ++i)
                Synchronize([&, w, i] { seen.emplace_back(w, i); });
            ++finished;
            WakeUiThread();
        });
    }
    ServeHandOversUntil([&] { return finished.load() == 4; });
    for (auto& t : workers)
        t.join();
    ASSERT_EQ(seen.size(), 800u);
    int next[4] = {0, 0, 0, 0};
    for (const auto& [w, i] : seen)
        EXPECT_EQ(i, next[w]++);
}

// A work that runs an event loop of its own (a modal box does) still lets the hand-overs of other
// workers run in it, also when they are queued after that work has begun.
TEST(HandOver, RunsFromAnEventLoopInsideAnotherHandOver) {
    std::atomic<QEventLoop*> nested{nullptr};
    bool nestedActive = false;
    bool ranInside = false;
    std::thread first([&] {
        Synchronize([&] {
            QEventLoop loop;
            // Should the hand-over never come, the loop still ends and the check below fails.
            QTimer::singleShot(std::chrono::seconds(60), &loop, &QEventLoop::quit);
            nestedActive = true;
            nested = &loop;
            loop.exec();
            nested = nullptr;
            nestedActive = false;
        });
        Synchronize([] { QCoreApplication::quit(); });
    });
    std::thread second([&] {
        while (!nested.load())
            std::this_thread::yield();
        Synchronize([&] {
            ranInside = nestedActive;
            if (QEventLoop* loop = nested.load())
                loop->quit();
        });
    });
    QCoreApplication::exec(); // the first work runs from the event loop, as a datagram's does
    first.join();
    second.join();
    EXPECT_TRUE(ranInside);
}

} // namespace
