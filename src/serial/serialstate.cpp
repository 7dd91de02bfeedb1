// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/serialstate.h"

#include "serial/untRxThread.h"

#include <mutex>

namespace corvane {

HANDLE hComPort = INVALID_HANDLE_VALUE;
OVERLAPPED WriteOverlapped{};

namespace {

RxThread* RxThreadRef = nullptr;

// Never destroyed: the worker is not joined when the program ends and may still take it.
std::mutex& Guard() {
    static std::mutex* guard = new std::mutex;
    return *guard;
}

} // namespace

void AttachComPort(HANDLE port, RxThread* worker) {
    std::lock_guard lock(Guard());
    hComPort = port;
    if (worker)
        RxThreadRef = worker;
}

void TerminateRxThread() {
    std::lock_guard lock(Guard());
    if (RxThreadRef)
        RxThreadRef->Terminate();
}

HANDLE ComPortFor(const RxThread* worker) {
    std::lock_guard lock(Guard());
    return RxThreadRef == worker ? hComPort : INVALID_HANDLE_VALUE;
}

void ReleaseRxThread(const RxThread* worker) {
    std::lock_guard lock(Guard());
    if (RxThreadRef == worker)
        RxThreadRef = nullptr;
}

bool RxThreadRegistered() {
    std::lock_guard lock(Guard());
    return RxThreadRef != nullptr;
}

LinkCounters& SerialCounters() {
    static LinkCounters* counters = new LinkCounters;
    return *counters;
}

} // namespace corvane
