#include "core/handover.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

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
    void customEvent(QEvent*) override { CheckSynchronize(); }
};

struct State {
    std::mutex mutex;
    std::condition_variable workerWake; // a request was done or dropped
    std::condition_variable uiWake;     // a request was queued, or a waiter's condition changed
    std::deque<Request*> queue;
    unsigned long long wakeCount = 0;
    bool ending = false;
    std::thread::id uiThread;
    Pump* pump = nullptr;
};

// Never destroyed: a worker that outlives main() may still be on its way into Synchronize.
State& GetState() {
    static State* state = new State;
    return *state;
}

} // namespace

void InstallHandOver() {
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    s.uiThread = std::this_thread::get_id();
    if (!s.pump && QCoreApplication::instance())
        s.pump = new Pump; // lives as long as the process, like the state it serves
}

bool IsUiThread() {
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    return s.uiThread == std::this_thread::get_id();
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
    s.uiWake.notify_all();
    if (s.pump)
        QCoreApplication::postEvent(s.pump, new QEvent(QEvent::User));
    s.workerWake.wait(lock, [&] { return request.done; });
    if (request.error)
        std::rethrow_exception(request.error);
}

void CheckSynchronize() {
    State& s = GetState();
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
        s.workerWake.notify_all();
    }
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
    s.ending = true;
    for (Request* request : s.queue)
        request->done = true;
    s.queue.clear();
    s.workerWake.notify_all();
}

bool EndingBegun() {
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    return s.ending;
}

} // namespace corvane
