// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plotseries.h"

#include <algorithm>
#include <charconv>

namespace corvane {

void PlotSeries::SetWindow(std::int64_t window) {
    window_ = std::clamp(window, kShortestWindow, kLongestWindow);
    Trim();
    ++changes_;
}

PlotSeries::Series* PlotSeries::Find(std::string_view prefix, std::string_view name) {
    for (Series& series : series_)
        if (series.name.size() == prefix.size() + name.size() && series.name.starts_with(prefix) &&
            series.name.ends_with(name))
            return &series;
    if (series_.size() == kMaxSeries)
        return nullptr;
    Series& added = series_.emplace_back();
    added.name.reserve(prefix.size() + name.size());
    added.name.append(prefix).append(name);
    return &added;
}

void PlotSeries::Add(std::int64_t time, std::string_view prefix,
                     std::span<const LineNumber> numbers) {
    if (numbers.empty())
        return;
    for (const LineNumber& number : numbers) {
        std::string_view name = number.name;
        char digits[16];
        if (name.empty()) {
            const auto end = std::to_chars(digits, digits + sizeof digits, number.position).ptr;
            name = std::string_view(digits, static_cast<std::size_t>(end - digits));
        }
        Series* series = Find(prefix, name);
        if (series == nullptr) {
            ++dropped_;
            continue;
        }
        series->samples.push_back({time, number.value});
        if (series->samples.size() > kMaxSamples)
            series->samples.pop_front();
    }
    latest_ = started_ ? std::max(latest_, time) : time;
    started_ = true;
    Trim();
    ++changes_;
}

void PlotSeries::SetPaused(bool paused) {
    if (paused == paused_)
        return;
    paused_ = paused;
    pausedEnd_ = latest_;
    Trim();
    ++changes_;
}

void PlotSeries::Trim() {
    if (!started_)
        return;
    // Paused, what the frozen view shows is kept as well as what came after it.
    const std::int64_t keepFrom = std::min(ViewStart(), latest_ - window_);
    for (Series& series : series_)
        while (!series.samples.empty() && series.samples.front().time < keepFrom)
            series.samples.pop_front();
}

std::int64_t PlotSeries::SamplesKept() const {
    std::int64_t kept = 0;
    for (const Series& series : series_)
        kept += static_cast<std::int64_t>(series.samples.size());
    return kept;
}

const PlotSample* NearestSample(const std::deque<PlotSample>& samples, std::int64_t time) {
    if (samples.empty())
        return nullptr;
    const auto after =
        std::lower_bound(samples.begin(), samples.end(), time,
                         [](const PlotSample& sample, std::int64_t t) { return sample.time < t; });
    if (after == samples.begin())
        return &*after;
    const auto before = std::prev(after);
    if (after == samples.end() || time - before->time <= after->time - time)
        return &*before;
    return &*after;
}

} // namespace corvane
