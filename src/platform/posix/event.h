// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Event objects: manual- or auto-reset, waited on with a time limit.

#include "platform/posix/handletable.h"

#include <condition_variable>
#include <mutex>

namespace corvane::posix {

class Event : public KernelObject {
public:
    Event(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}

    void Set();
    void Reset();
    // True when signalled within ms milliseconds (INFINITE: no limit).
    bool Wait(DWORD ms);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    const bool manualReset_;
    bool signalled_;
};

// Sets the event behind handle, if it is one; completions use it for the caller's event.
void SignalEventHandle(HANDLE handle);

} // namespace corvane::posix
