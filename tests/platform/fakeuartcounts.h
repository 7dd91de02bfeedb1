// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Error counters as a UART driver keeps them, moved by the test: no device here loses bytes on
// demand. posix::SetLineErrorCountsSource(FakeCounts) makes every port read these.

#include "platform/posix/ttydevice.h"

#include <atomic>

inline std::atomic<int> fakeOverruns{0};
inline std::atomic<int> fakeBufferOverruns{0};
inline std::atomic<int> fakeFrameErrors{0};

inline bool FakeCounts(int, corvane::posix::LineErrorCounts& counts) {
    counts = {};
    counts.overrun = fakeOverruns;
    counts.bufferOverrun = fakeBufferOverruns;
    counts.frame = fakeFrameErrors;
    return true;
}
