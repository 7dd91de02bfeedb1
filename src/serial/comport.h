// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Serial port access: opening and configuring a COM port, and writing payloads to it. UI thread
// only but for SendData; failures become lines in the upper pane and nothing raises, except a
// failing pane.

#include "core/bytestring.h"
#include "core/logpanes.h"
#include "platform/commapi.h"

namespace corvane {

// "\\.\COM" and the number.
ByteString ComPortPath(BYTE portNumber);

// Opens COM<portNumber> for overlapped I/O at baudRate, 8 data bits, no parity, two stop bits,
// with the read and write time-outs, both queues purged, the character-received event and RTS and
// DTR raised. A step the driver refuses is logged and the open goes on. Stores a fresh write event
// in WriteOverlapped when the port opened. Returns the port, or INVALID_HANDLE_VALUE after
// "INVALID_HANDLE_VALUE" and a line that says why.
HANDLE OpenComPort(LogPanes& panes, BYTE portNumber, DWORD baudRate);

// OpenComPort for a device that came back: a refused open is no news to the operator, who is told
// when the device is back, so it writes no lines; and what the device has sent since it came is
// kept, only the transmit queue is purged.
HANDLE ReopenComPort(LogPanes& panes, BYTE portNumber, DWORD baudRate);

// Writes payload to hComPort, logs "<- " and its hex view, and waits for the write to end (at
// most 100 + 10 ms per byte); on the UI thread the window stays alive meanwhile (core/uiwait.h).
// An empty payload does nothing. A write that fails or ends short is
// logged as an error after its "<- " line. Returns false for such a write. Also callable from a
// worker thread, whose panes then take the lines without handing them over: writes take turns
// (serial/writeturn.h).
bool SendData(LogPanes& panes, const ByteString& payload);

// The system's text for an error code, without its trailing blanks, line breaks and full stops.
ByteString SystemErrorText(DWORD code);

} // namespace corvane
