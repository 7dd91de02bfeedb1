// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/handover.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace corvane {
namespace {

struct Request {
    const std::function<void()>* work;
    std::exception_ptr error;
    bool done = false;
};

// Posted to the UI thread's event loop; its only job is to run the queue there. The event itself is
// never read: it only wakes the loop.
class Pump : public QObject {
protected:
    void customEvent(QEvent*) override;
};

struct State {
    std::mutex mutex;
    std::condition_variable workerWake; // a request was done or dropped
    std::condition_variable uiWake;     // a request was queued, or a waiter's condition changed
    std::deque<Request*> queue;
    unsigned long long wakeCount = 0;
    std::atomic<bool> ending{false};
    std::atomic<std::thread::id> uiThread{};
    Pump* pump = nullptr;
    // A pump event is on its way and has not started yet: the requests queued meanwhile need no
    // event of their own, so a batch costs one event rather than one per request.
    bool pumpPosted = false;
};

// Never destroyed: a worker that outlives main() may still be on its way into Synchronize.
State& GetState() {
    static State* state = new State;
    return *state;
}

// Runs the queued requests, one at a time and in order, until the queue is empty.
void RunQueued(State& s) {
    for (;;) {
        std::unique_lock lock(s.mutex);
        if (s.queue.empty())
            return;
        Request* request = s.queue.front();
        s.queue.pop_front();
        lock.unlock();
        try {
            (*request->work)();
        } catch (...) {
            request->error = std::current_exception();
        }
        lock.lock();
        request->done = true;
        lock.unlock();
        s.workerWake.notify_all();
    }
}

void Pump::customEvent(QEvent*) {
    State& s = GetState();
    {
        // From here on a new request needs an event of its own: this one may be inside a work
        // that runs an event loop (a modal box) by the time it is queued.
        std::lock_guard lock(s.mutex);
        s.pumpPosted = false;
    }
    RunQueued(s);
}

} // namespace

void InstallHandOver() {
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    s.uiThread.store(std::this_thread::get_id());
    if (!s.pump && QCoreApplication::instance())
        s.pump = new Pump; // lives as long as the process, like the state it serves
}

bool IsUiThread() {
    return GetState().uiThread.load() == std::this_thread::get_id();
}

void Synchronize(const std::function<void()>& work) {
    if (IsUiThread()) {
        if (!EndingBegun())
            work();
        return;
    }
    State& s = GetState();
    Request request{&work, nullptr, false};
    std::unique_lock lock(s.mutex);
    if (s.ending)
        return;
    s.queue.push_back(&request);
    ++s.wakeCount;
    const bool post = s.pump && !s.pumpPosted;
    s.pumpPosted = s.pumpPosted || post;
    lock.unlock();
    // Woken without the lock held, so that the woken thread does not block on it at once.
    s.uiWake.notify_all();
    if (post)
        QCoreApplication::postEvent(s.pump, new QEvent(QEvent::User));
    lock.lock();
    s.workerWake.wait(lock, [&] { return request.done; });
    if (request.error)
        std::rethrow_exception(request.error);
}

void CheckSynchronize() {
    RunQueued(GetState());
}

void ServeHandOversUntil(const std::function<bool()>& done) {
    State& s = GetState();
    for (;;) {
        CheckSynchronize();
        std::unique_lock lock(s.mutex);
        const auto seen = s.wakeCount;
        if (done())
            return;
        // A request queued since CheckSynchronize let go of the lock is already counted in seen;
        // the queue itself says it is there.
        s.uiWake.wait(lock, [&] { return !s.queue.empty() || s.wakeCount != seen; });
    }
}

void WakeUiThread() {
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    ++s.wakeCount;
    s.uiWake.notify_all();
}

void BeginEnding() {
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    s.ending.store(true);
    for (Request* request : s.queue)
        request->done = true;
    s.queue.clear();
    s.workerWake.notify_all();
}

bool EndingBegun() {
    return GetState().ending.load();
}

} // namespace corvane
