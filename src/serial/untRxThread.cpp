#include "serial/untRxThread.h"

#include "core/handover.h"
#include "payload/hexcodec.h"
#include "serial/messages.h"
#include "serial/serialstate.h"

namespace corvane {

using namespace serial;

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
    while (!Terminated()) {
        try {
            RcvData();
            // Close asks for the end right after closing the port: no need to sleep it out.
            SleepUnlessTerminated(100);
        } catch (...) {
            AddToLog(kRcvDataError);
            Terminate();
        }
    }
    AddToLog(kRxEnded);
}

void RxThread::RcvData() {
    const HANDLE port = ComPortFor(this);
    DWORD waiting = 0;
    try {
        DWORD events = 0; // written when the wait completes, which the wait below waits for
        if (!WaitCommEvent(port, &events, &overlapped_) && GetLastError() == ERROR_IO_PENDING)
            WaitForSingleObject(overlapped_.hEvent, INFINITE);
        DWORD errors = 0; // line errors are cleared and not reported
        COMSTAT status{};
        if (ClearCommError(port, &errors, &status))
            waiting = status.cbInQue;
    } catch (...) {
        waiting = 0;
        AddToLog(kRx1Error);
    }
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
    if (delivered > 0) {
        buffer.resize(delivered);
        AddToLogRec(kReceivedArrow + StrToHexView(buffer));
    }
}

void RxThread::AddToLog(const ByteString& line) {
    Synchronize([&] { panes_.AddToLog(line); });
}

void RxThread::AddToLogRec(const ByteString& line) {
    Synchronize([&] { panes_.AddToLogRec(line); });
}

} // namespace corvane
