// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/uiwait.h"

#include "core/handover.h"

#include <QCoreApplication>
#include <QPointer>

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace corvane {
namespace {

struct Deferred {
    QPointer<QObject> context;
    std::function<void()> work;
};

// UI thread only, like everything they describe.
int waitDepth = 0;
std::vector<Deferred>& Later() {
    static auto* later = new std::vector<Deferred>;
    return *later;
}

void Post(const Deferred& deferred) {
    if (deferred.context)
        QMetaObject::invokeMethod(deferred.context, deferred.work, Qt::QueuedConnection);
}

} // namespace

void WaitKeepingUiAlive(const std::function<void()>& wait) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !IsUiThread() || EndingBegun()) {
        wait();
        return;
    }
    std::atomic<bool> ended{false};
    std::exception_ptr error;
    std::thread waiter;
    try {
        waiter = std::thread([&] {
            try {
                wait();
            } catch (...) {
                error = std::current_exception();
            }
            ended = true;
            // Any posted call wakes the event loop below; this one has nothing else to do.
            QMetaObject::invokeMethod(
                app, [] {}, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        wait(); // no thread to spare: wait as a plain call would
        return;
    }
    ++waitDepth;
    while (!ended) {
        CheckSynchronize();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    }
    --waitDepth;
    waiter.join();
    if (waitDepth == 0) {
        std::vector<Deferred> later = std::move(Later());
        Later().clear();
        for (const Deferred& deferred : later)
            Post(deferred);
    }
    if (error)
        std::rethrow_exception(error);
}

bool UiWaitRunning() {
    return waitDepth > 0;
}

void AfterUiWait(QObject* context, std::function<void()> work) {
    Deferred deferred{context, std::move(work)};
    if (waitDepth > 0)
        Later().push_back(std::move(deferred));
    else
        Post(deferred);
}

} // namespace corvane
