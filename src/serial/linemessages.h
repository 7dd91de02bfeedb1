// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lines the serial lines bar writes to the upper pane, as Windows-1251 bytes. A refused action
// writes serial::kMaskError and the path, as a refused step of the open does.

#include "core/bytestring.h"

namespace corvane::serial {

// "Линия DTR: " and "Линия RTS: " (the level, 1 or 0, follows)
inline const ByteString kDtrLine = "\xCB\xE8\xED\xE8\xFF DTR: ";
inline const ByteString kRtsLine = "\xCB\xE8\xED\xE8\xFF RTS: ";
// "Сброс: DTR 0 на " (the length, then " мс", follow)
inline const ByteString kResetPulse = "\xD1\xE1\xF0\xEE\xF1: DTR 0 \xED\xE0 ";
// "Разрыв линии: " (the length, then " мс", follow)
inline const ByteString kBreakHeld = "\xD0\xE0\xE7\xF0\xFB\xE2 \xEB\xE8\xED\xE8\xE8: ";
// " мс"
inline const ByteString kMilliseconds = " \xEC\xF1";
// "Линии: " (then "CTS=1 DSR=1 DCD=0 RI=0")
inline const ByteString kInputLines = "\xCB\xE8\xED\xE8\xE8: ";

} // namespace corvane::serial
