// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/event.h"

#include "platform/commapi.h"
#include "platform/posix/errors.h"

#include <chrono>
#include <thread>

namespace corvane::posix {

void Event::Set() {
    std::lock_guard lock(mutex_);
    signalled_ = true;
    changed_.notify_all();
}

void Event::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool Event::Wait(DWORD ms) {
    std::unique_lock lock(mutex_);
    const auto isSet = [this] { return signalled_; };
    if (ms == INFINITE)
        changed_.wait(lock, isSet);
    else if (!changed_.wait_for(lock, std::chrono::milliseconds(ms), isSet))
        return false;
    if (!manualReset_)
        signalled_ = false;
    return true;
}

void SignalEventHandle(HANDLE handle) {
    if (auto event = LookupHandleAs<Event>(handle))
        event->Set();
}

} // namespace corvane::posix

using namespace corvane::posix;

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
    if (lpName) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return InsertHandle(std::make_shared<Event>(bManualReset != FALSE, bInitialState != FALSE));
}

BOOL SetEvent(HANDLE hEvent) {
    auto event = LookupHandleAs<Event>(hEvent);
    if (!event)
        return Fail(ERROR_INVALID_HANDLE);
    event->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
    auto event = LookupHandleAs<Event>(hEvent);
    if (!event)
        return Fail(ERROR_INVALID_HANDLE);
    event->Reset();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto event = LookupHandleAs<Event>(hHandle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return event->Wait(dwMilliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

void Sleep(DWORD dwMilliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
