// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A worker thread with a terminate request, an optional free-on-terminate, and a wait for its end
// that keeps running hand-overs when the UI thread is the one waiting.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvane {

class Thread {
public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    // Joins the thread. By then Execute must have returned: a derived class whose members Execute
    // uses ends the thread (Terminate, WaitFor) before they are destroyed. A free-on-terminate
    // thread deletes itself.
    virtual ~Thread();

    // Begins Execute on a new thread. Called once.
    void Start();

    // Asks Execute to return; ends a SleepUnlessTerminated at once. Any thread.
    void Terminate();
    bool Terminated() const { return terminated_.load(); }

    // When set, the object deletes itself after Execute returns; nobody may then touch it or wait
    // for it. May be set from inside Execute.
    void SetFreeOnTerminate(bool value) { freeOnTerminate_.store(value); }

    // Blocks until Execute has returned. On the UI thread hand-overs keep running meanwhile, so a
    // worker blocked in one can still finish.
    void WaitFor();
    bool Finished() const { return finished_.load(); }

protected:
    virtual void Execute() = 0;

    // Sleeps for ms milliseconds or until a terminate request; false when it was cut short.
    bool SleepUnlessTerminated(unsigned ms);

private:
    void Run();

    std::thread thread_;
    std::mutex mutex_; // guards the start hand-shake and the terminate wake-up
    std::condition_variable terminateWake_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> freeOnTerminate_{false};
};

} // namespace corvane
