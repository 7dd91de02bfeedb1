// SPDX-License-Identifier: GPL-3.0-or-later
// The queue of received datagrams: order and content through the ring's wrap, its budget, what it
// counts as lost, its waits, and one thread filling while another empties.
#include "udp/datagramqueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <random>
#include <string>
#include <thread>

namespace corvane {
namespace {

using Datagram = DatagramQueue::Datagram;

// A datagram whose every field is derived from n, so that a mix-up shows.
struct Sample {
    std::string data;
    std::uint32_t n;
    Datagram View() const {
        return {data.data(),
                static_cast<std::uint32_t>(data.size()),
                n * 2654435761u,
                static_cast<std::uint16_t>(n),
                static_cast<std::uint16_t>(n % 64),
                std::int64_t{n} * 1000};
    }
};

Sample MakeSample(std::uint32_t n, std::size_t length) {
    std::string data(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        data[i] = static_cast<char>(n + i);
    return {data, n};
}

void ExpectSame(const Datagram& got, const Sample& want) {
    const Datagram view = want.View();
    ASSERT_EQ(got.length, view.length) << "datagram " << want.n;
    EXPECT_EQ(std::string(got.data, got.length), want.data) << "datagram " << want.n;
    EXPECT_EQ(got.address, view.address);
    EXPECT_EQ(got.port, view.port);
    EXPECT_EQ(got.binding, view.binding);
    EXPECT_EQ(got.receivedAt, view.receivedAt);
}

// Pushes and pops of random lengths (empty ones and ones near the budget among them) against a
// plain list: every datagram comes out whole, in order, and the ring never holds more than its
// budget, whichever way its records wrap.
TEST(DatagramQueue, KeepsOrderAndContentThroughEveryWrapWithinItsBudget) {
    for (const std::size_t budget :
         {std::size_t{64}, std::size_t{1000}, std::size_t{8192 + 24}, std::size_t{100'000}}) {
        DatagramQueue queue(budget);
        std::deque<Sample> model;
        std::mt19937 random(static_cast<unsigned>(budget));
        std::uint64_t refused = 0;
        for (std::uint32_t n = 0; n < 20'000; ++n) {
            const std::size_t longest = std::min<std::size_t>(budget, 9000);
            const std::size_t length =
                n % 7 == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, longest)(random);
            Sample sample = MakeSample(n, length);
            if (queue.Push(sample.View()))
                model.push_back(std::move(sample));
            else
                ++refused;
            ASSERT_LE(queue.Used(), queue.Budget());
            // Empty the queue now and then, in runs, so that it is full at times.
            const int pops = std::uniform_int_distribution<int>(0, 2)(random);
            for (int i = 0; i < pops && !model.empty(); ++i) {
                Datagram got;
                ASSERT_TRUE(queue.Front(got));
                ExpectSame(got, model.front());
                queue.Pop();
                model.pop_front();
            }
        }
        for (; !model.empty(); model.pop_front()) {
            Datagram got;
            ASSERT_TRUE(queue.Front(got));
            ExpectSame(got, model.front());
            queue.Pop();
        }
        Datagram none;
        EXPECT_FALSE(queue.Front(none));
        EXPECT_TRUE(queue.Empty());
        EXPECT_EQ(queue.Used(), 0u);
        EXPECT_EQ(queue.Lost(), refused) << "budget " << budget;
        EXPECT_GT(refused, 0u) << "budget " << budget; // the budget was reached
    }
}

// Records of a header (24 bytes) and a datagram padded to 8 bytes: a budget of ten 1000-byte
// records takes exactly ten, refuses the eleventh, and takes one again once one has left.
TEST(DatagramQueue, RefusesWhatExceedsItsBudgetAndCountsItLost) {
    constexpr std::size_t kRecord = 24 + 976;
    DatagramQueue queue(10 * kRecord);
    const Sample sample = MakeSample(1, 976);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(queue.Push(sample.View())) << i;
    EXPECT_EQ(queue.Used(), 10 * kRecord);
    EXPECT_FALSE(queue.Push(sample.View()));
    EXPECT_FALSE(queue.Push(MakeSample(2, 1).View()));
    EXPECT_EQ(queue.Lost(), 2u);
    queue.Pop();
    EXPECT_TRUE(queue.Push(sample.View()));
    queue.AddLost(5); // the kernel's drops count beside the queue's own
    EXPECT_EQ(queue.Lost(), 7u);

    DatagramQueue small(64);
    EXPECT_FALSE(small.Push(MakeSample(3, 100).View())); // never fits, whatever is held
    EXPECT_TRUE(small.Push(MakeSample(4, 0).View()));
    EXPECT_EQ(small.Lost(), 1u);
}

// A queue that empties between datagrams keeps using the start of its ring, so a long trickle
// takes no more memory than one datagram.
TEST(DatagramQueue, AnEmptiedQueueStartsAgainAtTheStartOfItsRing) {
    DatagramQueue queue(1 << 20);
    const Sample sample = MakeSample(1, 500);
    const char* first = nullptr;
    for (int i = 0; i < 10'000; ++i) {
        ASSERT_TRUE(queue.Push(sample.View()));
        Datagram got;
        ASSERT_TRUE(queue.Front(got));
        if (i == 0)
            first = got.data;
        ASSERT_EQ(got.data, first) << i;
        ExpectSame(got, sample);
        queue.Pop();
    }
}

TEST(DatagramQueue, AWaitEndsWithADatagramALossACloseOrAnInterrupt) {
    using Clock = std::chrono::steady_clock;
    {
        DatagramQueue queue(1024);
        queue.Wait(Clock::now() - std::chrono::seconds(1)); // a deadline gone returns at once
        std::thread filler([&] {
            queue.Push(MakeSample(1, 3).View());
            queue.Publish();
        });
        queue.Wait(queue.Lost());
        filler.join();
        EXPECT_FALSE(queue.Empty());
    }
    {
        DatagramQueue queue(1024);
        std::thread loser([&] {
            queue.AddLost(3);
            queue.Publish();
        });
        queue.Wait(std::uint64_t{0});
        loser.join();
        EXPECT_EQ(queue.Lost(), 3u);
    }
    {
        DatagramQueue queue(1024);
        std::thread closer([&] { queue.Close(); });
        queue.Wait(std::uint64_t{0});
        closer.join();
        EXPECT_TRUE(queue.Closed());
    }
    {
        DatagramQueue queue(1024);
        std::thread stopper([&] { queue.Interrupt(); });
        queue.Wait(Clock::now() + std::chrono::hours(1));
        stopper.join();
        queue.Wait(std::uint64_t{0}); // and every later wait
        EXPECT_TRUE(queue.Empty());
    }
}

// One thread fills as fast as it can while another empties: what comes out is in order, whole,
// and with what was refused makes up everything offered.
TEST(DatagramQueue, OneThreadFillsWhileAnotherEmpties) {
    constexpr std::uint32_t kCount = 200'000;
    DatagramQueue queue(16 * 1024);
    std::atomic<bool> done{false};
    std::thread filler([&] {
        for (std::uint32_t n = 0; n < kCount; ++n) {
            queue.Push(MakeSample(n, n % 300).View());
            if (n % 64 == 0)
                queue.Publish();
        }
        done.store(true);
        queue.Close();
    });
    std::uint64_t taken = 0;
    std::int64_t last = -1;
    bool whole = true;
    for (;;) {
        Datagram got;
        if (!queue.Front(got)) {
            if (done.load() && queue.Empty())
                break;
            queue.Wait(queue.Lost());
            continue;
        }
        const auto n = static_cast<std::uint32_t>(got.receivedAt / 1000);
        whole = whole && std::string(got.data, got.length) == MakeSample(n, n % 300).data;
        EXPECT_GT(got.receivedAt, last);
        last = got.receivedAt;
        queue.Pop();
        ++taken;
    }
    filler.join();
    EXPECT_TRUE(whole);
    EXPECT_EQ(taken + queue.Lost(), kCount);
}

} // namespace
} // namespace corvane
