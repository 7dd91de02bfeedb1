// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/slicedtask.h"

#include <algorithm>

namespace corvane {

SlicedTask::SlicedTask(std::function<bool(Clock::time_point)> step,
                       std::function<void(bool done)> afterStep)
    : step_(std::move(step)), afterStep_(std::move(afterStep)) {
    // A zero timer runs once per turn of the event loop, after the events already queued.
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] { RunSlice(); });
}

SlicedTask::~SlicedTask() {
    Stop();
    if (destroyed_)
        *destroyed_ = true;
}

int& SlicedTask::RunningTasks() {
    static int running = 0;
    return running;
}

void SlicedTask::Start() {
    if (!timer_.isActive())
        ++RunningTasks();
    timer_.start();
}

void SlicedTask::Stop() {
    if (timer_.isActive())
        --RunningTasks();
    timer_.stop();
}

bool SlicedTask::Running() const {
    return timer_.isActive();
}

void SlicedTask::RunSlice() {
    const bool done = step_(Clock::now() + kSlice / std::max(1, RunningTasks()));
    if (done)
        Stop();
    if (!afterStep_)
        return;
    bool destroyed = false;
    destroyed_ = &destroyed;
    afterStep_(done);
    if (!destroyed)
        destroyed_ = nullptr;
}

} // namespace corvane
