// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The end of a serial write that the port could not finish at once: the device holds it back (CTS
// low, an XOFF) or the line is slow. A thread of its own waits for it, so that the UI thread goes
// on meanwhile; the end is handed over to the UI thread, as the receive worker's lines are. One
// write is awaited at a time. UI thread only.

#include "platform/commapi.h"

#include <functional>

namespace corvane {

// What a write came to: whether every byte went out, the Win32 error when not, and the bytes the
// device took.
struct WriteEnd {
    bool ok;
    DWORD error;
    DWORD written;
};

// Awaits the write that has just been left pending on port with WriteOverlapped; ended runs on the
// UI thread once it has ended (completed, timed out, or ended by the close or EndSerialWrite).
void AwaitSerialWrite(HANDLE port, std::function<void(const WriteEnd&)> ended);

// Whether a write is awaited and its end has not been handed over yet.
bool SerialWritePending();

// Ends a pending write at once, discarding what the device has not taken, and returns when its
// end has been handed over and its thread is gone. Called by the close step before it closes the
// write event, by an open before it makes a new one, and when the window goes.
void EndSerialWrite();

} // namespace corvane
