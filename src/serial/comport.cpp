// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/comport.h"

#include "payload/hexcodec.h"
#include "platform/openfailure.h"
#include "serial/linesettings.h"
#include "serial/messages.h"
#include "serial/openfailureline.h"
#include "serial/serialstate.h"
#include "serial/steplines.h"
#include "serial/writewait.h"

#include <string>

namespace corvane {
namespace {

using namespace serial;

// Every field a flag word of 1 leaves: binary mode and nothing else, so no flow control of any
// kind and DTR and RTS under the program's own control.
void SetFixedLine(DCB& dcb, DWORD baudRate) {
    dcb.BaudRate = baudRate;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 0;
    dcb.fDummy2 = 0;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = TWOSTOPBITS;
}

// A write of n bytes ends within 100 + 10 * n ms; a read as soon as its bytes are there.
constexpr COMMTIMEOUTS kTimeouts{1, 1, 1, 10, 100};

// How an open comes about: the operator's click, or a device come back to a port that waited.
enum class Opening { Click, Return };

void Configure(LogPanes& panes, HANDLE port, const ByteString& path, DWORD baudRate,
               const LineFrame& frame, Opening opening) {
    DCB dcb{};
    if (!GetCommState(port, &dcb)) {
        panes.AddToLog(kReadSettingsError + path);
        dcb = DCB{};
    }
    SetFixedLine(dcb, baudRate);
    // The operator's frame and flow control, where chosen; DTR and RTS control stay disabled as
    // the flag word has them, and the lines get their levels below.
    PutFrame(dcb, frame, OutputLines{false, false});
    if (!SetCommState(port, &dcb))
        panes.AddToLog(kWriteSettingsError + path);

    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(port, &timeouts))
        panes.AddToLog(kReadSettingsError + path);
    timeouts = kTimeouts;
    if (!SetCommTimeouts(port, &timeouts))
        panes.AddToLog(kWriteSettingsError + path);

    // A device that came back may have spoken already (a board's start-up banner): what it sent
    // is no stale input of an earlier session, and keeping it loses nothing it sends.
    const DWORD purge = opening == Opening::Click ? PURGE_TXCLEAR | PURGE_RXCLEAR : PURGE_TXCLEAR;
    if (!PurgeComm(port, purge))
        panes.AddToLog(kPurgeError + path);
    if (!SetCommMask(port, EV_RXCHAR))
        panes.AddToLog(kMaskError + path);
    // Devices without modem lines refuse these; that is no reason to give up the port.
    SetOutputLinesAtOpen(port, frame);
}

HANDLE OpenAndConfigure(LogPanes& panes, BYTE portNumber, DWORD baudRate, Opening opening) {
    EndSerialWrite(); // its waiter reads WriteOverlapped, which is made anew below
    HANDLE port = INVALID_HANDLE_VALUE;
    try {
        const ByteString path = ComPortPath(portNumber);
        port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
        if (port != INVALID_HANDLE_VALUE) {
            StepLines steps(panes);
            Configure(steps, port, path, baudRate, SavedLineFrame(portNumber), opening);
        } else if (opening == Opening::Click) {
            const DWORD error = GetLastError();
            panes.AddToLog(kInvalidHandle);
            panes.AddToLog(OpenFailureLine(ExplainOpenFailure(portNumber, error), error));
        }
    } catch (...) {
        const DWORD code = GetLastError();
        panes.AddToLog(kOpenError + std::to_string(code) + " - " + SystemErrorText(code));
    }
    // Only an open port gets a write event: the close step releases it, and a failed attempt has
    // no close step, so an event made for it would never be released.
    WriteOverlapped = OVERLAPPED{};
    if (port != INVALID_HANDLE_VALUE)
        WriteOverlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return port;
}

// The lines for a write's end: none when every byte went out or the close ended it; otherwise
// "Ошибка при SendData", and "Передано байт: N из M" when part of the payload went out.
// The bytes the device took are counted sent, and a send that says so a failed one.
void ReportWriteEnd(LogPanes& panes, DWORD size, const WriteEnd& end) {
    LinkCounters& counters = SerialCounters();
    counters.AddSentBytes(end.written);
    // Ended by the close, or by the program's end: the operator discarded the rest.
    if (end.error == ERROR_OPERATION_ABORTED)
        return;
    // Logging the attempt and staying silent about its failure would report it as sent.
    if (end.ok && end.written == size)
        return;
    counters.AddFailedSend();
    try {
        panes.AddToLog(kSendDataError);
        if (end.written > 0 && end.written < size)
            panes.AddToLog(kBytesSent + std::to_string(end.written) + kBytesOf +
                           std::to_string(size));
    } catch (...) {
        panes.AddToLog(kSendDataError);
    }
}

} // namespace

ByteString ComPortPath(BYTE portNumber) {
    return "\\\\.\\COM" + std::to_string(portNumber);
}

HANDLE OpenComPort(LogPanes& panes, BYTE portNumber, DWORD baudRate) {
    return OpenAndConfigure(panes, portNumber, baudRate, Opening::Click);
}

HANDLE ReopenComPort(LogPanes& panes, BYTE portNumber, DWORD baudRate) {
    return OpenAndConfigure(panes, portNumber, baudRate, Opening::Return);
}

void SendData(LogPanes& panes, const ByteString& payload, std::function<void(bool sent)> ended) {
    const auto end = [&ended](bool sent) {
        if (ended)
            ended(sent);
    };
    if (payload.empty()) {
        end(true);
        return;
    }
    try {
        const DWORD size = static_cast<DWORD>(payload.size());
        DWORD written = 0;
        const HANDLE port = hComPort;
        const BOOL ok = WriteFile(port, payload.data(), size, &written, &WriteOverlapped);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        panes.AddToLog(kSentArrow + StrToHexView(payload));
        SerialCounters().AddSentLines(1);
        if (!ok && error == ERROR_IO_PENDING) {
            AwaitSerialWrite(port, [&panes, size, ended = std::move(ended)](const WriteEnd& done) {
                ReportWriteEnd(panes, size, done);
                if (ended)
                    ended(done.ok && done.written == size);
            });
            return;
        }
        const WriteEnd done{ok != FALSE, error, written};
        ReportWriteEnd(panes, size, done);
        end(done.ok && done.written == size);
    } catch (...) {
        SerialCounters().AddFailedSend();
        panes.AddToLog(kSendDataError);
        end(false);
    }
}

ByteString SystemErrorText(DWORD code) {
    char buffer[256];
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, sizeof buffer, nullptr);
    while (length > 0 &&
           (static_cast<unsigned char>(buffer[length - 1]) <= 32 || buffer[length - 1] == '.'))
        --length;
    return ByteString(buffer, length);
}

} // namespace corvane
