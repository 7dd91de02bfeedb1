// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Linux errors become the Win32 numbers the callers of the platform layer speak, here and nowhere
// else.

#include "platform/windef.h"

namespace corvane::posix {

// What a call was doing when errno was read: opening a device reads some errors differently.
enum class ErrnoContext { Opening, Using };

DWORD Win32ErrorFromErrno(int err, ErrnoContext context);

// Sets the thread's last error and returns FALSE, the usual failure path of a BOOL call.
inline BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace corvane::posix
