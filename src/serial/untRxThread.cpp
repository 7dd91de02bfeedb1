// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/untRxThread.h"

#include "core/handover.h"
#include "core/walltime.h"
#include "payload/hexcodec.h"
#include "serial/bytecapture.h"
#include "serial/messages.h"
#include "serial/replug.h"
#include "serial/serialstate.h"

#include <algorithm>
#include <string>

namespace corvane {

using namespace serial;

namespace {

// Bytes of a read split into frames and handed over at once: what they take on the way is
// bounded whatever the read, about two megabytes for one-byte frames and far less for others.
constexpr DWORD kSplitSlice = 32 * 1024;
// The buffer of a line of up to about 80 bytes: kept for the next hand-over's line.
constexpr std::size_t kKeptLineCapacity = 256;

} // namespace

void RxThread::Execute() {
    // First of all, so that every way out of here frees the worker.
    SetFreeOnTerminate(true);
    // Runs last on every way out: Close may name this worker until it is released.
    struct Ending {
        RxThread* worker;
        ~Ending() {
            CloseHandle(worker->overlapped_.hEvent);
            ReleaseRxThread(worker);
        }
    } ending{this};

    AddToLog(kRxStarted);
    overlapped_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    splitter_ = FrameSplitter(ReceivedSplitRule().Get());
    while (!Terminated()) {
        try {
            RcvData();
            // Close asks for the end right after closing the port: no need to sleep it out. A
            // split by time needs every byte's arrival: no pause then, unless the wait failed
            // (a device gone fails every wait at once).
            if (!splitter_.Rule().Timed() || waitFailed_)
                SleepUnlessTerminated(100);
        } catch (...) {
            AddToLog(kRcvDataError);
            Terminate();
        }
    }
    try {
        splitter_.Flush(frames_);
        ShowFrames();
    } catch (...) {
        AddToLog(kRcvDataError);
    }
    AddToLog(kRxEnded);
}

void RxThread::TakeRule() {
    const SplitRule rule = ReceivedSplitRule().Get();
    if (rule == splitter_.Rule())
        return;
    splitter_.SetRule(rule, frames_);
    ShowFrames();
}

bool RxThread::WaitForEvent(HANDLE port, BOOL& waited) {
    if (!waitPending_) {
        waited = WaitCommEvent(port, &events_, &overlapped_);
        if (waited || GetLastError() != ERROR_IO_PENDING)
            return true;
        waitPending_ = true;
    }
    DWORD timeout = INFINITE;
    if (const std::optional<std::int64_t> due = splitter_.Deadline()) {
        const std::int64_t left = *due - WallClockNow();
        timeout = static_cast<DWORD>(std::max<std::int64_t>(0, (left + 999) / 1000));
    }
    if (WaitForSingleObject(overlapped_.hEvent, timeout) == WAIT_TIMEOUT)
        return false;
    waitPending_ = false;
    DWORD unused = 0;
    waited = GetOverlappedResult(port, &overlapped_, &unused, FALSE);
    return true;
}

void RxThread::RcvData() {
    const HANDLE port = ComPortFor(this);
    TakeRule();
    DWORD waiting = 0;
    DWORD errors = 0;
    bool gone = false;
    bool due = false;
    waitFailed_ = false;
    try {
        BOOL waited = FALSE;
        due = !WaitForEvent(port, waited);
        if (!due) {
            waitFailed_ = !waited;
            gone = !waited && GetLastError() == ERROR_GEN_FAILURE;
            // Line errors (framing, parity, break) are cleared and not reported.
            COMSTAT status{};
            if (ClearCommError(port, &errors, &status))
                waiting = status.cbInQue;
        }
    } catch (...) {
        waiting = 0;
        errors = 0;
        gone = false;
        waitFailed_ = true;
        AddToLog(kRx1Error);
    }
    // The rule may have changed during the wait (the change ends it): bytes that came after the
    // change are split by the new one.
    TakeRule();
    if (due) {
        splitter_.Tick(WallClockNow(), frames_);
        ShowFrames();
        return;
    }
    // The port stays open until Close; the hang-up is said once.
    if (gone && !hangUpReported_) {
        hangUpReported_ = true;
        splitter_.Flush(frames_);
        ShowFrames();
        AddToLog(kDeviceGone);
        Synchronize([this] { WaitForReplug(this); });
    }
    if (errors & (CE_RXOVER | CE_OVERRUN))
        ReportLostBytes(port);
    if (waiting == 0)
        return;

    ByteString buffer(waiting, '\0');
    DWORD delivered = 0;
    bool pending = false;
    try {
        if (!ReadFile(port, buffer.data(), waiting, &delivered, &overlapped_)) {
            pending = GetLastError() == ERROR_IO_PENDING;
            delivered = 0;
        }
    } catch (...) {
        delivered = 0;
        AddToLog(kRx2Error);
    }
    if (pending) {
        WaitForSingleObject(overlapped_.hEvent, INFINITE);
        GetOverlappedResult(port, &overlapped_, &delivered, FALSE);
    }
    const std::int64_t readAt = WallClockNow();
    if (delivered > 0)
        SerialCounters().AddReceivedBytes(delivered);
    if (delivered > 0 && (splitter_.Rule().Timed() || splitter_.Rule().everyN)) {
        ReceivedBytesCapture().Write(buffer.data(), delivered);
        // A read can be megabytes of short frames: they are made and handed over a slice at a
        // time, so that the lines held on their way to the pane stay few.
        for (DWORD at = 0; at < delivered; at += kSplitSlice) {
            const std::string_view slice(buffer.data() + at, std::min(kSplitSlice, delivered - at));
            splitter_.Add(slice, readAt, frames_);
            ShowFrames();
        }
    } else if (delivered > 0) {
        ReceivedBytesCapture().Write(buffer.data(), delivered);
        // The line is built in place: a read can be megabytes, and its view three times that.
        ByteString line;
        line.reserve(kReceivedArrow.size() + 3 * std::size_t{delivered});
        line.append(kReceivedArrow);
        AppendHexView(line, buffer.data(), delivered);
        ByteString().swap(buffer);
        // Counted before it is shown: whoever sees the line sees it counted.
        SerialCounters().AddReceivedLines(1);
        AddToLogRec(line, readAt);
    }
}

void RxThread::ReportLostBytes(HANDLE port) {
    SERIALPERF_STATS stats{};
    DWORD size = 0;
    if (!DeviceIoControl(port, IOCTL_SERIAL_GET_STATS, nullptr, 0, &stats, sizeof stats, &size,
                         nullptr)) {
        AddToLog(kBytesLostUncounted);
        return;
    }
    // The count can run ahead of the error flags: bytes lost just after the status query are
    // counted now and flagged at the next query, where they are not reported again.
    const DWORD lost = stats.SerialOverrunErrorCount + stats.BufferOverrunErrorCount;
    if (lost == lostReported_)
        return;
    // An overrun is counted once however many bytes it lost: with overruns among them the count
    // is only a lower bound.
    const bool atLeast = stats.SerialOverrunErrorCount != overrunsReported_;
    SerialCounters().AddLost(lost - lostReported_);
    AddToLog(kBytesLost + (atLeast ? kAtLeast : ByteString()) +
             std::to_string(lost - lostReported_));
    lostReported_ = lost;
    overrunsReported_ = stats.SerialOverrunErrorCount;
}

void RxThread::AddToLog(const ByteString& line) {
    const std::int64_t time = WallClockNow();
    Synchronize([&] { panes_.AddToLog(line, time); });
}

void RxThread::AddToLogRec(const ByteString& line, std::int64_t time) {
    Synchronize([&] { panes_.AddToLogRec(line, time); });
}

void RxThread::ShowFrames() {
    if (frames_.empty())
        return;
    // The lines of the last hand-over are written over: their buffers are used again.
    if (lines_.size() < frames_.size())
        lines_.resize(frames_.size());
    times_.clear();
    bytes_.clear();
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        times_.push_back(frames_[i].time);
        bytes_.push_back(frames_[i].bytes);
        ByteString& line = lines_[i];
        const ByteString& bytes = frames_[i].bytes;
        line.clear();
        line.reserve(kReceivedArrow.size() + 3 * bytes.size());
        line.append(kReceivedArrow);
        AppendHexView(line, bytes.data(), bytes.size());
    }
    SerialCounters().AddReceivedLines(frames_.size());
    Synchronize(
        [&] { panes_.AddLinesToLogRec(std::span(lines_).first(frames_.size()), times_, bytes_); });
    frames_.clear();
    // A long frame's line is not kept: only short lines' buffers are worth keeping.
    for (ByteString& line : lines_) {
        if (line.capacity() > kKeptLineCapacity)
            ByteString().swap(line);
    }
}

} // namespace corvane
