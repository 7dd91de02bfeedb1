// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Long work on the UI thread in slices: a step function is run from the event loop, one slice of
// at most a few milliseconds per turn, until it says it is done, so that timers, painting and
// hand-overs run between slices. Used for the find count and for reading a store out to a file.
// UI thread; the object must live on the thread that runs the event loop.

#include <QTimer>

#include <chrono>
#include <functional>

namespace corvane {

class SlicedTask {
public:
    using Clock = std::chrono::steady_clock;
    // A turn's slices: short enough that a 10 ms timer waits for them by no more than about their
    // length, even when two turns' slices and a repaint of a pane come between two of its ticks
    // (with 8 ms, that made a timer 25-40 ms late while typing into the find bar over long lines;
    // the count is no slower). Tasks running at once (a count and a walk of the find bar, a save)
    // share it, each taking its part, as each runs in the same turn of the event loop.
    static constexpr std::chrono::milliseconds kSlice{4};

    // step(deadline) works until deadline and returns true when the work is done. afterStep runs
    // after every slice (progress); it may destroy the task.
    SlicedTask(std::function<bool(Clock::time_point)> step,
               std::function<void(bool done)> afterStep);
    ~SlicedTask();
    SlicedTask(const SlicedTask&) = delete;
    SlicedTask& operator=(const SlicedTask&) = delete;

    // Runs slices until the step says done, or until Stop. Start again after done to go on (a
    // count that caught up goes on when lines arrive).
    void Start();
    void Stop();
    bool Running() const;

private:
    void RunSlice();
    static int& RunningTasks(); // on the UI thread

    std::function<bool(Clock::time_point)> step_;
    std::function<void(bool)> afterStep_;
    QTimer timer_;
    bool* destroyed_ = nullptr; // set by the destructor when it runs inside a slice
};

} // namespace corvane
