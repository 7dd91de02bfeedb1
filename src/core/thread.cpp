// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/thread.h"

#include "core/handover.h"

#include <chrono>

namespace corvane {

Thread::~Thread() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        WaitFor();
        thread_.join();
    }
}

void Thread::Start() {
    // The new thread takes mutex_ before it runs, so thread_ is assigned before it can detach it.
    std::lock_guard lock(mutex_);
    thread_ = std::thread([this] { Run(); });
}

void Thread::Run() {
    { std::lock_guard lock(mutex_); }
    try {
        Execute();
    } catch (...) {
        // An exception that leaves Execute ends the thread; the worker reports its own failures.
    }
    if (freeOnTerminate_.load()) {
        thread_.detach();
        delete this;
        return;
    }
    finished_.store(true);
    WakeUiThread();
}

void Thread::Terminate() {
    std::lock_guard lock(mutex_);
    terminated_.store(true);
    terminateWake_.notify_all();
}

bool Thread::SleepUnlessTerminated(unsigned ms) {
    std::unique_lock lock(mutex_);
    return !terminateWake_.wait_for(lock, std::chrono::milliseconds(ms),
                                    [this] { return terminated_.load(); });
}

void Thread::WaitFor() {
    if (IsUiThread()) {
        ServeHandOversUntil([this] { return finished_.load(); });
        return;
    }
    if (thread_.joinable())
        thread_.join();
}

} // namespace corvane
