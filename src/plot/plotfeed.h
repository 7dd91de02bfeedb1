// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a plot takes from the lower pane: the data lines of the links it follows (serial, UDP or
// both), their numbers read as the pane's Text view shows them (plot/linereader.h); a datagram's
// go to series named after its sender ("127.0.0.5 temp"), so that hosts and the serial device
// never share one.
//
// The pane takes tens of thousands of lines a second on the UI thread, and reading them there
// would cost it half its speed. So the UI thread only copies the lines it follows into a queue;
// a thread of the feed's own reads them every kHandOverMs and hands their numbers over to the UI
// thread (core/handover.h) in the order of the lines, one hand-over each time. Once the queue holds
// more than kMostQueued characters (by default), Take waits for the thread to take them (running
// hand-overs meanwhile), so that a machine too busy for the thread slows the pane down rather than
// fills the memory.

#include "core/bytestring.h"
#include "core/thread.h"
#include "logstore/dataview.h"
#include "plot/linereader.h"
#include "plot/plotlink.h"
#include "plot/plotnumbers.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string_view>
#include <vector>

namespace corvane {

class PlotFeed final : private Thread {
public:
    static constexpr unsigned kHandOverMs = 10;
    static constexpr std::size_t kMostQueued = 32 << 20;
    // Characters each of the two queues has room for from the start: what comes in a few reads
    // even at full speed. Grown at random as lines come, the queues would cost the UI thread
    // more in new pages and copies than in lines.
    static constexpr std::size_t kReserved = 4 << 20;

    // numbers: run on the UI thread with the numbers read since it last ran; it may take them.
    // mostQueued: the characters the queue holds at most.
    explicit PlotFeed(std::function<void(PlotNumbers& numbers)> numbers,
                      std::size_t mostQueued = kMostQueued);
    // Ends the thread; numbers not handed over yet are dropped.
    ~PlotFeed() override;

    // UI thread:
    void SetFollow(PlotFollow follow) { follow_ = follow; }
    PlotFollow Follow() const { return follow_; }
    // Lines of the lower pane from link, each at its time, their bytes in encoding; sender: the
    // sender address of datagrams. bytes: none, or what each line's hex view shows, which is then
    // queued instead of the line, a third of its size, and read without decoding the hex view.
    // Lines of a link not followed are left out here.
    void Take(PlotLink link, std::string_view sender, std::span<const ByteString> lines,
              std::span<const std::int64_t> times, std::span<const std::string_view> bytes,
              TextEncoding encoding);
    // Whether the numbers of every line taken have been handed over.
    bool Settled() const { return read_.load() == taken_; }
    // Waits until Settled, running hand-overs (tests and benchmarks).
    void Settle();

private:
    // Lines as taken: each one's characters, or the bytes its hex view shows, and its series
    // prefix, back to back.
    struct Queue {
        struct Line {
            std::size_t at;
            std::size_t length;
            std::size_t prefixAt;
            std::size_t prefixLength;
            std::int64_t time;
            TextEncoding encoding;
            bool bytes; // the line's bytes rather than its characters
        };
        ByteString text;
        std::vector<Line> lines;
    };

    void Execute() override;
    // Reads the lines of reading_ into numbers_.
    void Read();

    const std::function<void(PlotNumbers&)> numbersTaker_;
    const std::size_t mostQueued_;
    PlotFollow follow_ = PlotFollow::Both;
    std::uint64_t taken_ = 0;            // lines queued: UI thread
    std::atomic<std::uint64_t> read_{0}; // lines whose numbers were handed over
    std::mutex mutex_;                   // guards queued_
    std::condition_variable wake_;       // lines were queued, or the end was asked for
    Queue queued_;
    // The thread's own, reused from batch to batch.
    Queue reading_;
    DataLineReader reader_;
    PlotNumbers numbers_;
};

} // namespace corvane
