// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial receive worker: while the port is open it waits for the device to send, reads
// everything queued, and shows it as one "-> " hex line per read in the lower pane, with a 100 ms
// pause after every read. It reports its start, its end and its read errors in the upper pane, and
// also bytes the driver lost and the device hanging up.
// Every line is handed to the UI thread and stands in the pane before the worker goes on. A data
// line carries the time its read completed; the worker's other lines, the time they are handed
// over. Every byte read also goes to the received-bytes capture (serial/bytecapture.h), from here.

#include "core/logpanes.h"
#include "core/thread.h"
#include "platform/commapi.h"

namespace corvane {

class RxThread : public Thread {
public:
    // The worker frees itself when it ends; panes must outlive it, or the ending must have begun.
    explicit RxThread(LogPanes& panes) : panes_(panes) {}

protected:
    void Execute() override;

private:
    // One receive step: wait for bytes, count them, read them, show them.
    void RcvData();
    // After a status query that found errors: one line when bytes were lost, with their count where
    // the driver tells it.
    void ReportLostBytes(HANDLE port);
    void AddToLog(const ByteString& line);
    void AddToLogRec(const ByteString& line, std::int64_t time);

    LogPanes& panes_;
    OVERLAPPED overlapped_{};    // for the wait and the read; its event lives as long as Execute
    DWORD lostReported_ = 0;     // the driver's count of lost bytes as far as it has been reported
    DWORD overrunsReported_ = 0; // of which the UART's overrun events
    bool hangUpReported_ = false;
};

} // namespace corvane
