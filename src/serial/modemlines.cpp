// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/modemlines.h"

#include "core/handover.h"
#include "serial/linemessages.h"
#include "serial/linesettings.h"
#include "serial/messages.h"

#include <string>

namespace corvane {
namespace {

using namespace serial;

bool Escape(LogPanes& panes, HANDLE port, const ByteString& path, DWORD function,
            const ByteString& line) {
    if (!EscapeCommFunction(port, function)) {
        panes.AddToLog(kMaskError + path);
        return false;
    }
    panes.AddToLog(line);
    return true;
}

ByteString Level(bool raised) {
    return raised ? "1" : "0";
}

} // namespace

bool ReadInputLines(HANDLE port, DWORD& status) {
    return GetCommModemStatus(port, &status) != FALSE;
}

ByteString InputLinesText(DWORD status) {
    return kInputLines + "CTS=" + Level(status & MS_CTS_ON) + " DSR=" + Level(status & MS_DSR_ON) +
           " DCD=" + Level(status & MS_RLSD_ON) + " RI=" + Level(status & MS_RING_ON);
}

bool SetDtr(LogPanes& panes, HANDLE port, const ByteString& path, bool raised) {
    if (!Escape(panes, port, path, raised ? SETDTR : CLRDTR, kDtrLine + Level(raised)))
        return false;
    NoteOutputLines({raised, CurrentOutputLines().rts});
    return true;
}

bool SetRts(LogPanes& panes, HANDLE port, const ByteString& path, bool raised) {
    if (!Escape(panes, port, path, raised ? SETRTS : CLRRTS, kRtsLine + Level(raised)))
        return false;
    NoteOutputLines({CurrentOutputLines().dtr, raised});
    return true;
}

bool BeginResetPulse(LogPanes& panes, HANDLE port, const ByteString& path, int ms) {
    return Escape(panes, port, path, CLRDTR, kResetPulse + std::to_string(ms) + kMilliseconds);
}

void EndResetPulse(HANDLE port) {
    // A port closed meanwhile refuses it, and its DTR went with it.
    EscapeCommFunction(port, SETDTR);
    NoteOutputLines({true, CurrentOutputLines().rts});
}

bool BeginBreak(LogPanes& panes, HANDLE port, const ByteString& path, int ms) {
    return Escape(panes, port, path, SETBREAK, kBreakHeld + std::to_string(ms) + kMilliseconds);
}

void EndBreak(HANDLE port) {
    EscapeCommFunction(port, CLRBREAK);
}

ModemWatch::ModemWatch(HANDLE port, DWORD status, std::function<void(DWORD status)> changed)
    : port_(port), status_(status), changed_(std::move(changed)) {}

void ModemWatch::Start(HANDLE port, DWORD status, std::function<void(DWORD status)> changed) {
    auto* watch = new ModemWatch(port, status, std::move(changed));
    watch->SetFreeOnTerminate(true);
    watch->Thread::Start();
}

void ModemWatch::Execute() {
    // Blocks in the kernel's wait until a line changes; the close of the port ends it.
    while (WaitCommModemStatus(port_, &status_)) {
        const DWORD status = status_;
        Synchronize([&] { changed_(status); });
    }
}

} // namespace corvane
