// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What went through one link since it was opened: bytes and lines received and sent, the sends
// that failed, what was lost on receipt, and the receive and send rates over the last second.
//
// The threads that move the bytes count them where they already handle them, once per read,
// write or hand-over, never per byte: each count is one relaxed atomic addition, and nothing
// waits. One reader (the UI thread) resets the counts and reads them; every reading is also a
// sample of the byte counts, and the rates come from the samples the reader took, so they are
// as fresh as the reader's readings: read a few times a second, they span the last second.

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane {

// One reading of a link's counters.
struct LinkCounts {
    std::uint64_t receivedBytes = 0;
    std::uint64_t receivedLines = 0;
    std::uint64_t sentBytes = 0;
    std::uint64_t sentLines = 0;
    std::uint64_t failedSends = 0;
    std::uint64_t lost = 0; // bytes on a serial link, datagrams on UDP
    // Bytes a second over the last second; over the time since the link was opened or reset
    // when that is shorter, and since the previous reading when that is longer ago.
    double receiveRate = 0;
    double sendRate = 0;
};

class LinkCounters {
public:
    using Clock = std::chrono::steady_clock;

    LinkCounters() { Reset(); }
    LinkCounters(const LinkCounters&) = delete;
    LinkCounters& operator=(const LinkCounters&) = delete;

    // the threads that move the bytes (any thread)
    void AddReceivedBytes(std::uint64_t bytes) { Add(receivedBytes_, bytes); }
    void AddReceivedLines(std::uint64_t lines) { Add(receivedLines_, lines); }
    void AddSentBytes(std::uint64_t bytes) { Add(sentBytes_, bytes); }
    void AddSentLines(std::uint64_t lines) { Add(sentLines_, lines); }
    void AddFailedSend() { Add(failedSends_, 1); }
    void AddLost(std::uint64_t count) { Add(lost_, count); }

    // the reader (one thread)
    // Counts from now on, from zero: at the link's Open, and when the operator asks. An addition
    // racing with it lands on either side.
    void Reset(Clock::time_point now = Clock::now());
    // The counts now, with the rates from the samples taken so far; takes a sample.
    LinkCounts Read(Clock::time_point now = Clock::now());

private:
    static void Add(std::atomic<std::uint64_t>& count, std::uint64_t n) {
        count.fetch_add(n, std::memory_order_relaxed);
    }

    struct Sample {
        Clock::time_point at;
        std::uint64_t received;
        std::uint64_t sent;
    };

    std::atomic<std::uint64_t> receivedBytes_{0};
    std::atomic<std::uint64_t> receivedLines_{0};
    std::atomic<std::uint64_t> sentBytes_{0};
    std::atomic<std::uint64_t> sentLines_{0};
    std::atomic<std::uint64_t> failedSends_{0};
    std::atomic<std::uint64_t> lost_{0};

    // The reader's samples, oldest first, in a ring: at four readings a second a second spans
    // five of them, and readings closer together than the ring holds drop the oldest.
    static constexpr std::size_t kSamples = 32;
    std::array<Sample, kSamples> samples_{};
    std::size_t first_ = 0; // the oldest sample's slot
    std::size_t count_ = 0;
};

// The counts as a tooltip's lines: received, sent, failed sends, lost. datagrams: the UDP link's
// words (datagrams for lines and for what was lost) rather than the serial link's.
std::string CountsTooltip(const LinkCounts& counts, bool datagrams);
// The counts in one short line for the counters bar, led by the link's name: sizes and rates
// rounded, and a datagram counted as the line it is shown in.
std::string CountsLine(const std::string& link, const LinkCounts& counts, bool datagrams);
// "1,234,567"
std::string GroupedNumber(std::uint64_t n);
// "980 B/s", "12.3 KB/s", "1.5 MB/s" (KB and MB of 1,024 and 1,048,576 bytes).
std::string RateText(double bytesPerSecond);
// "980 B", "12.3 KB", "1.5 MB", "2.0 GB".
std::string SizeText(std::uint64_t bytes);

} // namespace corvane
