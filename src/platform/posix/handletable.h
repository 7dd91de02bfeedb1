// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The process-wide table of handles. A handle value is never given out twice while the program
// runs, so a stale value held by another thread can only ever fail, never reach a newer object
// (Linux reuses file descriptors at once; this table does not).

#include "platform/windef.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace corvane::posix {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Called once, when the handle is closed; the object may live on while a call holds it.
    virtual void Close() {}
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object behind a handle, or null when the value is not (or no longer) a handle.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <class T> std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// Takes the handle out of the table; null when it was not there.
std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle);

// Every object that has a handle now, for the program's end.
std::vector<std::shared_ptr<KernelObject>> OpenObjects();

// How many handles are open: lets tests see that nothing leaks.
std::size_t OpenHandleCount();

} // namespace corvane::posix
