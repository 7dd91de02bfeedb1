// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The worker threads of the UDP link. TIdBaseThread is the platform thread created suspended;
// TIdThread runs passes until it is stopped, and guards its stopped state, its start and its stop
// with a lock of its own. No lock is held while a pass runs.

#include "core/thread.h"

#include <atomic>
#include <mutex>

namespace corvane {

class TIdBaseThread : public Thread {
public:
    bool Suspended() const { return suspended_.load(); }
    // Begins Execute on its thread the first time; later calls do nothing.
    void Resume();

private:
    std::atomic<bool> suspended_{true};
};

class TIdThread : public TIdBaseThread {
public:
    // Clears the stopped flag and resumes the thread, if it is stopped.
    void Start();
    // Terminates the thread and sets the stopped flag, if it is not stopped yet, then runs
    // Stopping. The pass under way is not interrupted.
    void Stop();
    // True when terminated, flagged stopped or still suspended.
    bool Stopped() const;

protected:
    // One pass. An exception that escapes it ends the thread quietly: it terminates itself.
    virtual void Run() = 0;
    void Execute() final;
    // Ends the waits of a pass that a stop must not sit out. Called once, on the stopping thread,
    // without the lock.
    virtual void Stopping() {}

private:
    mutable std::mutex lock_;
    bool stopped_ = true;
};

} // namespace corvane
