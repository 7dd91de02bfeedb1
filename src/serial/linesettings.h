// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line settings of a COM port (core/lineframe.h): the ones remembered for each COM number,
// put on the port by the open's configuration step and, while it is open, at once by the same
// step; and the frame the driver really holds, read back. UI thread only.

#include "core/bytestring.h"
#include "core/lineframe.h"
#include "core/logpanes.h"
#include "platform/commapi.h"

namespace corvane {

// The levels the program gave DTR and RTS last, at the open or by the lines bar.
struct OutputLines {
    bool dtr = true;
    bool rts = true;
};

// The settings remembered for COM<portNumber>, or the defaults when it has none of its own.
LineFrame SavedLineFrame(BYTE portNumber);
void SaveLineFrame(BYTE portNumber, const LineFrame& frame);

// Writes the frame and the flow control into the device-control record: ByteSize, Parity,
// StopBits, fOutxCtsFlow with fRtsControl (handshake under RTS/CTS), fOutX and fInX. DTR and RTS
// control are set to hold the levels in lines (raised: enabled, lowered: disabled).
void PutFrame(DCB& dcb, const LineFrame& frame, OutputLines lines);

// The frame and flow control a record holds; the levels at open are taken from atOpen.
LineFrame FrameOf(const DCB& dcb, const LineFrame& atOpen);

// The open step's last settings: RTS, unless RTS/CTS drives it, then DTR, to their levels at open
// (raised, as specified, unless chosen otherwise). Their results are not looked at: devices
// without modem lines refuse them.
void SetOutputLinesAtOpen(HANDLE port, const LineFrame& frame);
// The levels last given to DTR and RTS on the open port.
OutputLines CurrentOutputLines();
void NoteOutputLines(OutputLines lines);

// Puts frame on the open port now, through the open's configuration step: the record is read
// ("Ошибка чтения параметров последовательного порта " + path when that fails), changed and
// written back ("Ошибка при установке параметров последовательного порта " + path when the
// driver refuses it, which then keeps what it had). DTR and RTS keep their levels.
void ApplyLineFrame(LogPanes& panes, HANDLE port, const ByteString& path, const LineFrame& frame);

// The rate and frame the driver holds now; false when they cannot be read.
bool ReadLineFrame(HANDLE port, const LineFrame& atOpen, DWORD& baudRate, LineFrame& frame);

} // namespace corvane
