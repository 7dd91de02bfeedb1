// SPDX-License-Identifier: GPL-3.0-or-later
#include "lateness.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kTickMs = 10;

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

} // namespace

Lateness::Lateness() {
    ticker_.setTimerType(Qt::PreciseTimer);
    ticker_.setInterval(kTickMs);
    QObject::connect(&ticker_, &QTimer::timeout, [this] {
        late_.push_back(static_cast<double>(since_.nsecsElapsed()) / 1e6 - kTickMs);
        figures_.worstMs = std::max(figures_.worstMs, late_.back());
        const double cpu = ThreadCpuMs();
        figures_.worstCpuMs = std::max(figures_.worstCpuMs, cpu - cpuAtTick_);
        cpuAtTick_ = cpu;
        since_.start();
    });
    Start();
}

void Lateness::Start() {
    figures_ = {};
    late_.clear();
    cpuAtTick_ = ThreadCpuMs();
    since_.start();
    ticker_.start();
}

Lateness::Figures Lateness::Stop() {
    ticker_.stop();
    figures_.worstMs =
        std::max(figures_.worstMs, static_cast<double>(since_.nsecsElapsed()) / 1e6 - kTickMs);
    return figures_;
}

double Lateness::Percentile99() const {
    if (late_.empty())
        return 0;
    std::vector<double> sorted = late_;
    const auto at = static_cast<std::ptrdiff_t>(sorted.size() * 99 / 100);
    std::nth_element(sorted.begin(), sorted.begin() + at, sorted.end());
    return sorted[static_cast<std::size_t>(at)];
}

void Lateness::Stop(const char* what) {
    const Figures figures = Stop();
    std::printf("  %s: a 10 ms timer at worst %.1f ms late; the UI thread's work between two "
                "ticks at most %.1f ms of CPU\n",
                what, figures.worstMs, figures.worstCpuMs);
}
