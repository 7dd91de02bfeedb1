// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening and closing the serial link: the port and the receive worker together. UI thread only.

#include "core/logpanes.h"
#include "platform/commapi.h"

namespace corvane {

// Opens COM<portNumber> at baudRate into hComPort and, when it opened, starts a receive worker
// that writes to panes, and a device that goes away is waited for (serial/replug.h). True when the
// port is open.
bool OpenSerialLink(LogPanes& panes, BYTE portNumber, DWORD baudRate);

// Ends a wait for the device, closes hComPort and its write event, which ends the worker's pending
// wait, and asks the worker to terminate; it ends by itself shortly after. Nothing waits for it.
void CloseSerialLink();

} // namespace corvane
