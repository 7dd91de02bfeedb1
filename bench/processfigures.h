// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a process has spent, as the kernel counts it in /proc: the benchmarks read their own
// figures and those of the peer tools they run beside Corvane here.

#include <sys/types.h>
#include <unistd.h>

struct ProcessFigures {
    double cpuSeconds = 0; // user and system time of all its threads
    double residentMb = 0; // resident size now (VmRSS), in MiB
    double peakMb = 0;     // its peak resident size (VmHWM), in MiB
    // How often its main thread gave the processor up (waits) or had it taken (preemptions).
    unsigned long long mainThreadSwitches = 0;
};

ProcessFigures ReadProcessFigures(pid_t pid = getpid());

// Lets the peak resident size start again from the present size.
void ResetPeakResident(pid_t pid = getpid());
