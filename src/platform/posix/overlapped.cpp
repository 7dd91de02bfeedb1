// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/overlapped.h"

#include "platform/posix/errors.h"
#include "platform/posix/event.h"

#include <mutex>

namespace corvane::posix {
namespace {

// Never destroyed, like the handle table: completions may still run while the process ends.
std::mutex& RecordMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

} // namespace

void BeginOverlapped(OVERLAPPED& overlapped) {
    {
        std::lock_guard lock(RecordMutex());
        overlapped.Internal = ERROR_IO_PENDING;
        overlapped.InternalHigh = 0;
    }
    if (auto event = LookupHandleAs<Event>(overlapped.hEvent))
        event->Reset();
}

void CompleteOverlapped(OVERLAPPED& overlapped, DWORD error, DWORD count) {
    HANDLE event;
    {
        std::lock_guard lock(RecordMutex());
        overlapped.Internal = error;
        overlapped.InternalHigh = count;
        event = overlapped.hEvent;
    }
    SignalEventHandle(event);
}

} // namespace corvane::posix

using namespace corvane::posix;

BOOL GetOverlappedResult(HANDLE, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                         BOOL bWait) {
    if (!lpOverlapped || !lpNumberOfBytesTransferred)
        return Fail(ERROR_INVALID_PARAMETER);
    if (bWait && WaitForSingleObject(lpOverlapped->hEvent, INFINITE) == WAIT_FAILED)
        return FALSE;
    DWORD error;
    {
        std::lock_guard lock(RecordMutex());
        error = static_cast<DWORD>(lpOverlapped->Internal);
        *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
    }
    if (error == ERROR_IO_PENDING)
        return Fail(ERROR_IO_INCOMPLETE);
    if (error != ERROR_SUCCESS)
        return Fail(error);
    return TRUE;
}
