// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial receive worker: while the port is open it waits for the device to send, reads
// everything queued, and shows it as one "-> " hex line per read in the lower pane, with a 100 ms
// pause after every read. It reports its start, its end and its read errors in the upper pane, and
// also bytes the driver lost and the device hanging up.
// Every line is handed to the UI thread and stands in the pane before the worker goes on. A data
// line carries the time its read completed; the worker's other lines, the time they are handed
// over. Every byte read also goes to the received-bytes capture (serial/bytecapture.h), from here,
// and is counted in the link's counters with the lines and the bytes lost (SerialCounters).
//
// The lines may instead follow the device's frames (serial/splitrule.h, the rule taken at each
// step): cut to a length, at an idle gap or after an end byte. For the last two the worker reads
// as bytes arrive, with no pause, and waits for the next byte only until the open line is due;
// a data line then carries its first byte's arrival. A line still open is shown before a
// hang-up's line and before the end line.

#include "core/logpanes.h"
#include "core/thread.h"
#include "platform/commapi.h"
#include "serial/framesplitter.h"

#include <string_view>
#include <vector>

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
    // Takes the rule when it changed; the line it leaves open is shown.
    void TakeRule();
    // Waits for the next communications event, no longer than the open line is due. False when
    // that time came first: the wait stays pending, for the next step to go on with.
    bool WaitForEvent(HANDLE port, BOOL& waited);
    // Shows the lines the splitter ended, in one hand-over.
    void ShowFrames();

    LogPanes& panes_;
    OVERLAPPED overlapped_{};    // for the wait and the read; its event lives as long as Execute
    DWORD lostReported_ = 0;     // the driver's count of lost bytes as far as it has been reported
    DWORD overrunsReported_ = 0; // of which the UART's overrun events
    bool hangUpReported_ = false;
    FrameSplitter splitter_;
    std::vector<Frame> frames_;           // ended, to be shown
    std::vector<ByteString> lines_;       // the hex lines of the frames being shown
    std::vector<std::int64_t> times_;     // and their times
    std::vector<std::string_view> bytes_; // and their bytes
    bool waitPending_ = false;            // a WaitCommEvent is pending on overlapped_
    bool waitFailed_ = false;             // the last step's wait failed
    DWORD events_ = 0;                    // written when that wait completes
};

} // namespace corvane
