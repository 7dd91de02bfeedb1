// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs a piece of store work as the window runs it, in slices between the event loop's other work,
// with a 10 ms timer beside it whose lateness is how long the operator's input would wait.

#include "logstore/slicedtask.h"

#include <functional>

struct SlicedRunFigures {
    double seconds = 0;
    double cpuSeconds = 0; // of the process: on a loaded machine, the figure that does not vary
    double worstLateMs = 0;
    int ticks = 0;
};

// Runs step in slices until it says it is done. Needs a QCoreApplication.
SlicedRunFigures
RunSliced(const std::function<bool(corvane::SlicedTask::Clock::time_point deadline)>& step);
