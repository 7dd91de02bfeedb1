// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The modem lines of the open port, driven and watched: DTR and RTS set by the operator, a reset
// pulse on DTR, a break, and the input lines CTS, DSR, DCD and RI watched on a thread of their own
// with the kernel's wait for a line change (WaitCommModemStatus), each change handed over to the
// UI thread as the receive worker's lines are. Each action writes its line in the upper pane, or,
// when the device refuses it, "Ошибка настройки последовательного порта " and the path. UI thread
// only, except where said.

#include "core/bytestring.h"
#include "core/logpanes.h"
#include "core/thread.h"
#include "platform/commapi.h"

#include <functional>

namespace corvane {

// Whether the port has modem lines at all (a pseudo-terminal has none), and their levels then.
bool ReadInputLines(HANDLE port, DWORD& status);

// "Линии: CTS=1 DSR=1 DCD=0 RI=0" for MS_*_ON bits.
ByteString InputLinesText(DWORD status);

// Sets DTR or RTS and writes "Линия DTR: 1" (or RTS, 0). False when the device refused it.
bool SetDtr(LogPanes& panes, HANDLE port, const ByteString& path, bool raised);
bool SetRts(LogPanes& panes, HANDLE port, const ByteString& path, bool raised);
// The first half of Reset: DTR low, and "Сброс: DTR 0 на N мс"; the caller raises it again after
// ms with EndResetPulse. False when refused.
bool BeginResetPulse(LogPanes& panes, HANDLE port, const ByteString& path, int ms);
void EndResetPulse(HANDLE port);
// The first half of Break: the break on, and "Разрыв линии: N мс"; EndBreak after ms.
bool BeginBreak(LogPanes& panes, HANDLE port, const ByteString& path, int ms);
void EndBreak(HANDLE port);

// Watches the input lines of port from their levels status on; changed runs on the UI thread with
// the new levels. Ends by itself, and frees itself, when the port closes: nobody waits for it, so
// changed must check that whoever it reports to is still there.
class ModemWatch : public Thread {
public:
    static void Start(HANDLE port, DWORD status, std::function<void(DWORD status)> changed);

protected:
    void Execute() override;

private:
    ModemWatch(HANDLE port, DWORD status, std::function<void(DWORD status)> changed);

    const HANDLE port_;
    DWORD status_;
    const std::function<void(DWORD status)> changed_;
};

} // namespace corvane
