// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/comport.h"

#include "core/uiwait.h"
#include "payload/hexcodec.h"
#include "platform/openfailure.h"
#include "serial/messages.h"
#include "serial/openfailureline.h"
#include "serial/serialstate.h"
#include "serial/writeturn.h"

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
               Opening opening) {
    DCB dcb{};
    if (!GetCommState(port, &dcb)) {
        panes.AddToLog(kReadSettingsError + path);
        dcb = DCB{};
    }
    SetFixedLine(dcb, baudRate);
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
    EscapeCommFunction(port, SETRTS);
    EscapeCommFunction(port, SETDTR);
}

HANDLE OpenAndConfigure(LogPanes& panes, BYTE portNumber, DWORD baudRate, Opening opening) {
    HANDLE port = INVALID_HANDLE_VALUE;
    try {
        const ByteString path = ComPortPath(portNumber);
        port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
        if (port != INVALID_HANDLE_VALUE) {
            Configure(panes, port, path, baudRate, opening);
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

bool SendData(LogPanes& panes, const ByteString& payload) {
    if (payload.empty())
        return true;
    const SerialWriteTurn turn;
    try {
        const DWORD size = static_cast<DWORD>(payload.size());
        DWORD written = 0;
        BOOL ok = WriteFile(hComPort, payload.data(), size, &written, &WriteOverlapped);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        panes.AddToLog(kSentArrow + StrToHexView(payload));
        if (!ok && error == ERROR_IO_PENDING) {
            // A write can take 100 ms + 10 ms a byte; the window keeps painting and showing
            // received lines meanwhile, but starts no other handler.
            const HANDLE writeEnded = WriteOverlapped.hEvent;
            WaitKeepingUiAlive([writeEnded] { WaitForSingleObject(writeEnded, INFINITE); });
            ok = GetOverlappedResult(hComPort, &WriteOverlapped, &written, FALSE);
        }
        // Logging the attempt and staying silent about its failure would report it as sent.
        if (!ok || written != size) {
            panes.AddToLog(kSendDataError);
            return false;
        }
        return true;
    } catch (...) {
        panes.AddToLog(kSendDataError);
        return false;
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
