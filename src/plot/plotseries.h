// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The series a plot shows: one per name the lines' numbers carry (linenumbers.h), each a run of
// samples (the line's time, the number) over a time window that ends at the newest line's time.
// Samples older than the window are let go as lines come, so memory follows the window, not how
// long the plot has been open. Paused, the view stays where it was while lines keep coming and
// are kept; resuming shows the newest window again.
//
// One thread (the UI thread for a plot window).

#include "plot/linenumbers.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct PlotSample {
    std::int64_t time; // µs since the Unix epoch (core/walltime.h)
    double value;
    bool operator==(const PlotSample&) const = default;
};

class PlotSeries {
public:
    static constexpr std::size_t kMaxSeries = 16;
    static constexpr std::int64_t kSecond = 1'000'000;
    static constexpr std::int64_t kDefaultWindow = 10 * kSecond;
    static constexpr std::int64_t kShortestWindow = kSecond;
    static constexpr std::int64_t kLongestWindow = 600 * kSecond;
    // Samples a series keeps at most, whatever the window and however long a pause: ten minutes
    // at 1,000 lines a second (16 series of them take 150 MB).
    static constexpr std::size_t kMaxSamples = 600'000;

    struct Series {
        std::string name; // in the pane's code page
        std::deque<PlotSample> samples;
    };

    // The time window, held to kShortestWindow..kLongestWindow.
    void SetWindow(std::int64_t window);
    std::int64_t Window() const { return window_; }

    // One line's numbers at time: each to the series of prefix and its name (or its position,
    // "1", "2", ..., for a number without a name), a series made for a name not seen before.
    // Numbers for series beyond the kMaxSeries-th are dropped and counted.
    void Add(std::int64_t time, std::string_view prefix, std::span<const LineNumber> numbers);

    // Paused, the view keeps its end and every sample from its start on is kept.
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }

    // The time the view ends at: the newest line's, or that at the pause (0 before any line).
    std::int64_t ViewEnd() const { return paused_ ? pausedEnd_ : latest_; }
    std::int64_t ViewStart() const { return ViewEnd() - window_; }
    // Whether a line has come yet.
    bool Started() const { return started_; }

    const std::vector<Series>& All() const { return series_; }
    std::int64_t SamplesKept() const;
    // Numbers dropped as they would have made a seventeenth series.
    std::uint64_t Dropped() const { return dropped_; }
    // Grows with every change: a viewer redraws when it moved.
    std::uint64_t Changes() const { return changes_; }

private:
    Series* Find(std::string_view prefix, std::string_view name);
    void Trim();

    std::vector<Series> series_;
    std::int64_t window_ = kDefaultWindow;
    std::int64_t latest_ = 0;
    bool started_ = false;
    std::int64_t pausedEnd_ = 0;
    bool paused_ = false;
    std::uint64_t dropped_ = 0;
    std::uint64_t changes_ = 0;
};

// The sample of samples nearest to time (the earlier of two as near): what a cursor at time
// reads. Null when there is none.
const PlotSample* NearestSample(const std::deque<PlotSample>& samples, std::int64_t time);

} // namespace corvane
