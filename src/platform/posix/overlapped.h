// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The life of an OVERLAPPED record: begun by the caller's thread, completed by whichever thread
// finishes the operation, read back by GetOverlappedResult. The record belongs to the caller, so
// every access to its status fields goes through here, under one lock.

#include "platform/commapi.h"

namespace corvane::posix {

// Marks the operation as running and resets the caller's event.
void BeginOverlapped(OVERLAPPED& overlapped);

// Stores the result and then sets the caller's event.
void CompleteOverlapped(OVERLAPPED& overlapped, DWORD error, DWORD count);

} // namespace corvane::posix
