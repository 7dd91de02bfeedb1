// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/ttimer.h"

#include "core/exception.h"

namespace corvane {
CORVANE_DECLARE_EXCEPTION(EOutOfResources, Exception);
}

TTimer::TTimer(QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TTimer::Timer);
}

void TTimer::SetInterval(std::uint32_t ms) {
    if (ms == interval_)
        return;
    interval_ = ms;
    Restart();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Restart();
}

void TTimer::Restart() {
    timer_.stop();
    if (!enabled_ || interval_ == 0)
        return;
    timer_.start(static_cast<int>(std::min(interval_, kMaxPeriod)));
    // QTimer keeps its id 0 when the platform refused; isActive() does not tell in every version.
    if (timer_.timerId() <= 0)
        throw corvane::EOutOfResources("Not enough timers available");
}
