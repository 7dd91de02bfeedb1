// SPDX-License-Identifier: GPL-3.0-or-later
// A link's counters: what the moving threads add, the rates from the reader's samples, the reset,
// and the texts of the tooltips and the bar.
#include "core/linkcounters.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace corvane;
using namespace std::chrono_literals;

namespace {

using Clock = LinkCounters::Clock;

TEST(LinkCounters, CountWhatEachThreadAddsUntilTheReset) {
    const Clock::time_point start = Clock::now();
    LinkCounters counters;
    counters.Reset(start);
    // Four threads, as a receive worker, a file's sender, a drain and the UI thread might.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                counters.AddReceivedBytes(3);
                counters.AddReceivedLines(1);
                counters.AddSentBytes(5);
                counters.AddSentLines(1);
                counters.AddFailedSend();
                counters.AddLost(2);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    const LinkCounts counts = counters.Read(start + 2s);
    EXPECT_EQ(counts.receivedBytes, 120000u);
    EXPECT_EQ(counts.receivedLines, 40000u);
    EXPECT_EQ(counts.sentBytes, 200000u);
    EXPECT_EQ(counts.sentLines, 40000u);
    EXPECT_EQ(counts.failedSends, 40000u);
    EXPECT_EQ(counts.lost, 80000u);

    counters.Reset(start + 2s);
    const LinkCounts after = counters.Read(start + 3s);
    EXPECT_EQ(after.receivedBytes + after.receivedLines + after.sentBytes + after.sentLines +
                  after.failedSends + after.lost,
              0u);
    EXPECT_EQ(after.receiveRate, 0.0);
    EXPECT_EQ(after.sendRate, 0.0);
}

// Readings at given times after the reset, each after its bytes arrived, and the rate each one
// gives: over the last second as far as the samples reach, from the reset when it is younger.
struct Reading {
    std::chrono::milliseconds at;
    std::uint64_t received; // bytes added just before the reading
    double rate;
};

class Rates : public ::testing::TestWithParam<std::vector<Reading>> {};

TEST_P(Rates, SpanTheLastSecondOfTheReadersSamples) {
    const Clock::time_point start{};
    LinkCounters counters;
    counters.Reset(start);
    std::size_t n = 0;
    for (const Reading& reading : GetParam()) {
        counters.AddReceivedBytes(reading.received);
        counters.AddSentBytes(2 * reading.received);
        const LinkCounts counts = counters.Read(start + reading.at);
        EXPECT_DOUBLE_EQ(counts.receiveRate, reading.rate) << "reading " << n;
        EXPECT_DOUBLE_EQ(counts.sendRate, 2 * reading.rate) << "reading " << n;
        ++n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    LinkCounters, Rates,
    ::testing::Values(
        // Young: from the reset.
        std::vector<Reading>{{250ms, 100, 400}, {500ms, 100, 400}},
        // Four readings a second: each reading's rate runs from the one a second before it.
        std::vector<Reading>{{250ms, 250, 1000},
                             {500ms, 250, 1000},
                             {750ms, 250, 1000},
                             {1000ms, 250, 1000},
                             {1250ms, 0, 750},
                             {1500ms, 0, 500},
                             {1750ms, 0, 250},
                             {2000ms, 0, 0}},
        // A reading long after the last: the rate spans the time since then.
        std::vector<Reading>{{250ms, 500, 2000}, {10250ms, 1000, 100}},
        // Readings closer together than the samples hold: the span shortens, the rate holds.
        std::vector<Reading>{
            {10ms, 10, 1000},  {20ms, 10, 1000},  {30ms, 10, 1000},  {40ms, 10, 1000},
            {50ms, 10, 1000},  {60ms, 10, 1000},  {70ms, 10, 1000},  {80ms, 10, 1000},
            {90ms, 10, 1000},  {100ms, 10, 1000}, {110ms, 10, 1000}, {120ms, 10, 1000},
            {130ms, 10, 1000}, {140ms, 10, 1000}, {150ms, 10, 1000}, {160ms, 10, 1000},
            {170ms, 10, 1000}, {180ms, 10, 1000}, {190ms, 10, 1000}, {200ms, 10, 1000},
            {210ms, 10, 1000}, {220ms, 10, 1000}, {230ms, 10, 1000}, {240ms, 10, 1000},
            {250ms, 10, 1000}, {260ms, 10, 1000}, {270ms, 10, 1000}, {280ms, 10, 1000},
            {290ms, 10, 1000}, {300ms, 10, 1000}, {310ms, 10, 1000}, {320ms, 10, 1000},
            {330ms, 10, 1000}, {340ms, 10, 1000}, {350ms, 10, 1000}, {360ms, 10, 1000}},
        // Two readings at one time: no span, no rate.
        std::vector<Reading>{{0ms, 100, 0}}));

TEST(LinkCounters, TextsGroupTheirDigitsAndScaleSizesAndRates) {
    EXPECT_EQ(GroupedNumber(0), "0");
    EXPECT_EQ(GroupedNumber(999), "999");
    EXPECT_EQ(GroupedNumber(1000), "1,000");
    EXPECT_EQ(GroupedNumber(1234567), "1,234,567");
    EXPECT_EQ(GroupedNumber(18446744073709551615u), "18,446,744,073,709,551,615");
    EXPECT_EQ(RateText(0), "0 B/s");
    EXPECT_EQ(RateText(980.4), "980 B/s");
    EXPECT_EQ(RateText(1023.6), "1.0 KB/s"); // rounded up into the next unit's range
    EXPECT_EQ(RateText(1536), "1.5 KB/s");
    EXPECT_EQ(RateText(12.6 * 1024), "13 KB/s");
    EXPECT_EQ(RateText(1.5 * 1048576), "1.5 MB/s");
    EXPECT_EQ(SizeText(1023), "1023 B");
    EXPECT_EQ(SizeText(std::uint64_t{3} << 30), "3.0 GB");
    EXPECT_EQ(SizeText(std::uint64_t{5000} << 30), "5000 GB");

    LinkCounts counts;
    counts.receivedBytes = 1234567;
    counts.receivedLines = 12345;
    counts.sentBytes = 56;
    counts.sentLines = 3;
    counts.failedSends = 1;
    counts.lost = 1500;
    counts.receiveRate = 2048;
    counts.sendRate = 0;
    EXPECT_EQ(CountsTooltip(counts, false), "Received 1,234,567 bytes in 12,345 lines, 2.0 KB/s\n"
                                            "Sent 56 bytes in 3 lines, 0 B/s\n"
                                            "Failed sends: 1\n"
                                            "Lost: 1,500 bytes");
    EXPECT_EQ(CountsTooltip(counts, true),
              "Received 1,234,567 bytes in 12,345 datagrams, 2.0 KB/s\n"
              "Sent 56 bytes in 3 datagrams, 0 B/s\n"
              "Failed sends: 1\n"
              "Lost: 1,500 datagrams");
    EXPECT_EQ(CountsLine("Serial", counts, false),
              "Serial  Rx 1.2 MB, 12,345 lines, 2.0 KB/s  Tx 56 B, 3 lines, 0 B/s  failed 1  "
              "lost 1.5 KB");
    EXPECT_EQ(CountsLine("UDP", counts, true),
              "UDP  Rx 1.2 MB, 12,345 lines, 2.0 KB/s  Tx 56 B, 3 lines, 0 B/s  failed 1  "
              "lost 1,500");

    const LinkCounts one{1, 1, 1, 1, 1, 1, 0, 0};
    EXPECT_EQ(CountsTooltip(one, true), "Received 1 byte in 1 datagram, 0 B/s\n"
                                        "Sent 1 byte in 1 datagram, 0 B/s\n"
                                        "Failed sends: 1\n"
                                        "Lost: 1 datagram");
    EXPECT_EQ(CountsLine("Serial", one, false),
              "Serial  Rx 1 B, 1 line, 0 B/s  Tx 1 B, 1 line, 0 B/s  failed 1  lost 1 B");
}

} // namespace
