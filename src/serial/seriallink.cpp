// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/seriallink.h"

#include "serial/comport.h"
#include "serial/replug.h"
#include "serial/serialstate.h"
#include "serial/untRxThread.h"
#include "serial/writewait.h"

namespace corvane {

bool OpenSerialLink(LogPanes& panes, BYTE portNumber, DWORD baudRate) {
    const HANDLE port = OpenComPort(panes, portNumber, baudRate);
    if (port == INVALID_HANDLE_VALUE) {
        AttachComPort(port, nullptr);
        return false;
    }
    SerialCounters().Reset();
    auto* worker = new RxThread(panes);
    AttachComPort(port, worker);
    worker->Start(); // frees itself when it ends
    ArmReplug(panes, portNumber, baudRate);
    return true;
}

void CloseSerialLink() {
    DisarmReplug();
    CloseHandle(hComPort); // ends a pending write
    EndSerialWrite();
    CloseHandle(WriteOverlapped.hEvent);
    TerminateRxThread();
}

} // namespace corvane
