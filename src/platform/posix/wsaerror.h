// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a failed BSD call's errno becomes the Winsock error number: one table for every call.

namespace corvane::winsock {

// The WSAE... number for errno; WSASYSCALLFAILURE for one that has no Winsock counterpart.
int WsaErrorFromErrno(int error);

} // namespace corvane::winsock
