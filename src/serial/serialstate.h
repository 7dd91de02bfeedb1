// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial link's state, shared by the UI thread and the receive worker for the whole run.
//
// The agreement on RxThreadRef: one guard covers it and hComPort. Open stores the new port and
// registers its worker in one step, before the worker can run. The worker reads the port only
// while it is still the registered one, so an old worker that a quick Close and Open left behind
// sees INVALID_HANDLE_VALUE and can never reach the new port. Close makes its terminate request
// under the guard, and an ending worker unregisters itself under it (only if it is still the one
// named) before it is freed, so Close never reaches a freed worker.

#include "core/linkcounters.h"
#include "platform/commapi.h"

namespace corvane {

class RxThread;

// The port of the last open attempt; INVALID_HANDLE_VALUE when that attempt failed. Changed only
// by AttachComPort, on the UI thread.
extern HANDLE hComPort;
// The record every write uses; the open step creates its event, the close step closes it.
extern OVERLAPPED WriteOverlapped;

// UI thread: stores the port of an open attempt and, when it opened, the worker that will serve it
// (not yet started).
void AttachComPort(HANDLE port, RxThread* worker);

// UI thread: asks the registered worker, if any, to terminate.
void TerminateRxThread();

// Worker: the port to read, or INVALID_HANDLE_VALUE once another worker has taken over.
HANDLE ComPortFor(const RxThread* worker);

// Worker, at its end: forgets the worker if it is still the registered one.
void ReleaseRxThread(const RxThread* worker);

// Whether a worker is registered: one runs, or is on its way to its end.
bool RxThreadRegistered();

// What went through the link since it was last opened: the receive worker counts what it reads
// and loses, SendData what it writes. Never destroyed, as the worker may outlive the program.
LinkCounters& SerialCounters();

} // namespace corvane
