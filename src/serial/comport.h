// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Serial port access: opening and configuring a COM port, and writing payloads to it. UI thread
// only but for SendData; failures become lines in the upper pane and nothing raises, except a
// failing pane.

#include "core/bytestring.h"
#include "core/logpanes.h"
#include "platform/commapi.h"
#include "serial/writewait.h"

#include <functional>

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

// Writes payload to hComPort and logs "<- " and its hex view. A write the port cannot finish at
// once (the device holds it back, or the line is slow) is awaited beside the UI thread
// (serial/writewait.h): SendData returns at once, and the write time-outs end it within 100 + 10 ms
// a byte. ended runs on the UI thread when the write has ended, with whether every byte went out:
// at once for a write that ended at once. An empty payload writes and logs nothing. A write that
// fails or ends short is logged as an error after its "<- " line. UI thread only; a write must not
// be started while another is pending (SerialWritePending).
void SendData(LogPanes& panes, const ByteString& payload,
              std::function<void(bool sent)> ended = {});

// The system's text for an error code, without its trailing blanks, line breaks and full stops.
ByteString SystemErrorText(DWORD code);

} // namespace corvane
