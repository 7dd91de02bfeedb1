// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The kernel stamps a datagram's arrival with its own read of the real-time clock, and that read
// need not agree to the microsecond with this process's reads of the same clock: an arrival has
// been stamped 15 µs before a read the test made before sending. A test that brackets a kernel
// time between reads of its own allows this much on either side.

#include <cstdint>

inline constexpr std::int64_t kKernelClockSlackUs = 5'000;
