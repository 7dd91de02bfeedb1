// SPDX-License-Identifier: GPL-3.0-or-later
// The communications calls on a port handle: find the port, let it do the work, turn its Win32
// result into the BOOL and last-error of the Windows call.
#include "platform/commapi.h"

#include "platform/comports.h"
#include "platform/posix/errors.h"
#include "platform/posix/serialport.h"

using namespace corvane::posix;

namespace {

BOOL Result(DWORD error) {
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

template <class Operation> BOOL OnPort(HANDLE hFile, Operation operation) {
    auto port = LookupHandleAs<SerialPort>(hFile);
    return port ? Result(operation(*port)) : Fail(ERROR_INVALID_HANDLE);
}

} // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    const auto number = lpFileName ? corvane::ParseComPortName(lpFileName) : std::nullopt;
    const std::string path = number ? corvane::ComPortPath(*number) : "";
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::shared_ptr<SerialPort> port;
    if (const DWORD error = SerialPort::Open(path, port); error != ERROR_SUCCESS) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return InsertHandle(std::move(port));
}

BOOL GetCommState(HANDLE hFile, LPDCB lpDCB) {
    if (!lpDCB)
        return Fail(ERROR_INVALID_PARAMETER);
    return OnPort(hFile, [&](SerialPort& port) { return port.GetState(*lpDCB); });
}

BOOL SetCommState(HANDLE hFile, LPDCB lpDCB) {
    if (!lpDCB)
        return Fail(ERROR_INVALID_PARAMETER);
    return OnPort(hFile, [&](SerialPort& port) { return port.SetState(*lpDCB); });
}

BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    if (!lpCommTimeouts)
        return Fail(ERROR_INVALID_PARAMETER);
    return OnPort(hFile, [&](SerialPort& port) { return port.GetTimeouts(*lpCommTimeouts); });
}

BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    if (!lpCommTimeouts)
        return Fail(ERROR_INVALID_PARAMETER);
    return OnPort(hFile, [&](SerialPort& port) { return port.SetTimeouts(*lpCommTimeouts); });
}

BOOL PurgeComm(HANDLE hFile, DWORD dwFlags) {
    return OnPort(hFile, [&](SerialPort& port) { return port.Purge(dwFlags); });
}

BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask) {
    return OnPort(hFile, [&](SerialPort& port) { return port.SetMask(dwEvtMask); });
}

BOOL EscapeCommFunction(HANDLE hFile, DWORD dwFunc) {
    return OnPort(hFile, [&](SerialPort& port) { return port.Escape(dwFunc); });
}

BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped) {
    if (!lpEvtMask || !lpOverlapped || !lpOverlapped->hEvent)
        return Fail(ERROR_INVALID_PARAMETER);
    return OnPort(hFile,
                  [&](SerialPort& port) { return port.WaitEvent(*lpEvtMask, *lpOverlapped); });
}

BOOL GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat) {
    if (!lpModemStat)
        return Fail(ERROR_INVALID_PARAMETER);
    return OnPort(hFile, [&](SerialPort& port) { return port.GetModemStatus(*lpModemStat); });
}

BOOL WaitCommModemStatus(HANDLE hFile, LPDWORD lpModemStat) {
    if (!lpModemStat)
        return Fail(ERROR_INVALID_PARAMETER);
    return OnPort(hFile, [&](SerialPort& port) { return port.WaitModemStatus(*lpModemStat); });
}

BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
    return OnPort(hFile, [&](SerialPort& port) { return port.ClearError(lpErrors, lpStat); });
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (!lpOverlapped || !lpOverlapped->hEvent || (!lpBuffer && nNumberOfBytesToRead > 0))
        return Fail(ERROR_INVALID_PARAMETER);
    return OnPort(hFile, [&](SerialPort& port) {
        return port.Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, *lpOverlapped);
    });
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (!lpOverlapped || !lpOverlapped->hEvent || (!lpBuffer && nNumberOfBytesToWrite > 0))
        return Fail(ERROR_INVALID_PARAMETER);
    return OnPort(hFile, [&](SerialPort& port) {
        return port.Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, *lpOverlapped);
    });
}

BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID, DWORD, LPVOID lpOutBuffer,
                     DWORD nOutBufferSize, LPDWORD lpBytesReturned, LPOVERLAPPED) {
    if (dwIoControlCode != IOCTL_SERIAL_GET_STATS)
        return Fail(ERROR_INVALID_FUNCTION);
    if (!lpOutBuffer || nOutBufferSize < sizeof(SERIALPERF_STATS))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    return OnPort(hDevice, [&](SerialPort& port) {
        const DWORD error = port.GetStats(*static_cast<SERIALPERF_STATS*>(lpOutBuffer));
        if (error == ERROR_SUCCESS && lpBytesReturned)
            *lpBytesReturned = sizeof(SERIALPERF_STATS);
        return error;
    });
}
