// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How late a 10 ms timer on the UI thread fires: each tick's distance from the one before, less
// the interval. It ticks from its making to its end; needs a running event loop.

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

class LatenessProbe {
public:
    static constexpr auto kTick = std::chrono::milliseconds(10);

    LatenessProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            if (previous_)
                lateness_.push_back(
                    std::chrono::duration<double, std::milli>(now - *previous_ - kTick).count());
            previous_ = now;
        });
        timer_.start(kTick);
    }
    double Worst() const {
        return lateness_.empty() ? 0 : *std::max_element(lateness_.begin(), lateness_.end());
    }
    double Percentile99() const {
        if (lateness_.empty())
            return 0;
        std::vector<double> sorted = lateness_;
        const std::size_t at = sorted.size() * 99 / 100;
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(at), sorted.end());
        return sorted[at];
    }
    std::size_t Ticks() const { return lateness_.size(); }

private:
    using Clock = std::chrono::steady_clock;
    QTimer timer_;
    std::optional<Clock::time_point> previous_;
    std::vector<double> lateness_;
};
