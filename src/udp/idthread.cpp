// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp/idthread.h"

namespace corvane {

void TIdBaseThread::Resume() {
    if (suspended_.exchange(false))
        Thread::Start();
}

void TIdThread::Start() {
    std::lock_guard lock(lock_);
    if (stopped_) {
        stopped_ = false;
        Resume();
    }
}

void TIdThread::Stop() {
    {
        std::lock_guard lock(lock_);
        if (stopped_)
            return;
        Terminate();
        stopped_ = true;
    }
    Stopping();
}

bool TIdThread::Stopped() const {
    std::lock_guard lock(lock_);
    return stopped_ || Terminated() || Suspended();
}

void TIdThread::Execute() {
    try {
        while (!Stopped())
            Run();
    } catch (...) {
        // Whoever runs the passes has nowhere to report to; ending is the report.
        Terminate();
    }
}

} // namespace corvane
