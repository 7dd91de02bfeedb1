#pragma once
// Opening and closing the serial link: the port and the receive worker together. UI thread only.

#include "core/logpanes.h"
#include "platform/commapi.h"

namespace corvane {

// Opens COM<portNumber> at baudRate into hComPort and, when it opened, starts a receive worker
// that writes to panes. True when the port is open.
bool OpenSerialLink(LogPanes& panes, BYTE portNumber, DWORD baudRate);

// Closes hComPort and its write event, which ends the worker's pending wait, and asks the worker
// to terminate; it ends by itself shortly after. Nothing waits for it.
void CloseSerialLink();

} // namespace corvane
