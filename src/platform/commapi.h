// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Windows communications functions, with the Windows names, types, constants and signatures,
// for serial ports opened for overlapped I/O. On Windows this header would only include
// <windows.h>; here posix/ implements it over termios2, poll and one reader thread per port.
//
// Behaviour the callers may rely on, beyond the Windows documentation:
// - Handle values are never given out twice in a run. Closing a port completes every operation
//   pending on it (status ERROR_OPERATION_ABORTED) and signals its events before CloseHandle
//   returns; afterwards the port never touches the callers' OVERLAPPED records or buffers again,
//   and every call on the old value fails with ERROR_INVALID_HANDLE without touching a device.
// - A port is raw from the moment it opens, whatever state the device was left in: no echo, no
//   line editing or signal characters, no CR/LF translation either way.
// - Each port has its own 4 MiB input queue, filled from the device as bytes arrive. While it is
//   full the device is not read: a pseudo-terminal or a USB CDC device is held back and loses
//   nothing; a UART without flow control overruns in the kernel, which ClearCommError reports as
//   CE_RXOVER (bytes the kernel's buffer had no room for) or CE_OVERRUN (bytes the UART lost),
//   and IOCTL_SERIAL_GET_STATS counts, where the driver keeps counts.
// - Opening takes the device's UUCP lock file (posix/portlock.h) as the Linux serial tools do,
//   and closing removes it.
// - OVERLAPPED.Internal holds ERROR_IO_PENDING while an operation runs and its Win32 error code
//   once it has completed; InternalHigh holds the byte count. Read them with
//   GetOverlappedResult. Every overlapped operation needs an event in hEvent; starting one resets
//   that event, completing one (also at once) sets it.
// - One read, one write and one WaitCommEvent may be pending per port at a time; a second of the
//   same kind fails with ERROR_INVALID_PARAMETER.
// - When the device hangs up (the other end of a pseudo-terminal closes, a USB adapter is pulled),
//   what it sent before can still be read; after that, pending operations complete with
//   ERROR_GEN_FAILURE and later ones fail with it.
// - Errors are Win32 numbers from GetLastError, on the calling thread.

#include "platform/windef.h"

#include <cstdarg>

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    union {
        struct {
            DWORD Offset;
            DWORD OffsetHigh;
        };
        LPVOID Pointer;
    };
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

// The device-control record: line settings of a serial port.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
using LPDCB = DCB*;

// Time-outs in milliseconds. A read of n bytes ends after ReadTotalTimeoutMultiplier * n +
// ReadTotalTimeoutConstant, or when ReadIntervalTimeout passes between two bytes; zero turns a
// time-out off. ReadIntervalTimeout MAXDWORD with both totals 0 returns what is queued at once. A
// write of n bytes ends after WriteTotalTimeoutMultiplier * n + WriteTotalTimeoutConstant with the
// count written so far and fails with ERROR_SEM_TIMEOUT unless every byte was written.
struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS*;

struct COMSTAT {
    DWORD fCtsHold : 1;
    DWORD fDsrHold : 1;
    DWORD fRlsdHold : 1;
    DWORD fXoffHold : 1;
    DWORD fXoffSent : 1;
    DWORD fEof : 1;
    DWORD fTxim : 1;
    DWORD fReserved : 25;
    DWORD cbInQue;
    DWORD cbOutQue;
};
using LPCOMSTAT = COMSTAT*;

// IOCTL_SERIAL_GET_STATS: counts since the port was opened.
struct SERIALPERF_STATS {
    DWORD ReceivedCount;
    DWORD TransmittedCount;
    DWORD FrameErrorCount;
    DWORD SerialOverrunErrorCount; // bytes the UART lost (on Linux: overrun events, each >= 1)
    DWORD BufferOverrunErrorCount; // bytes the driver's buffer had no room for
    DWORD ParityErrorCount;
};

// CreateFileA
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

// DCB
constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;
constexpr DWORD DTR_CONTROL_DISABLE = 0;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_TOGGLE = 3;

// PurgeComm
constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

// SetCommMask, WaitCommEvent. Only EV_RXCHAR is ever reported here.
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;

// EscapeCommFunction
constexpr DWORD SETXOFF = 1;
constexpr DWORD SETXON = 2;
constexpr DWORD SETRTS = 3;
constexpr DWORD CLRRTS = 4;
constexpr DWORD SETDTR = 5;
constexpr DWORD CLRDTR = 6;
constexpr DWORD RESETDEV = 7;
constexpr DWORD SETBREAK = 8;
constexpr DWORD CLRBREAK = 9;

// GetCommModemStatus
constexpr DWORD MS_CTS_ON = 0x0010;
constexpr DWORD MS_DSR_ON = 0x0020;
constexpr DWORD MS_RING_ON = 0x0040;
constexpr DWORD MS_RLSD_ON = 0x0080;

// ClearCommError
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;

// DeviceIoControl: CTL_CODE(FILE_DEVICE_SERIAL_PORT, 35, METHOD_BUFFERED, FILE_ANY_ACCESS)
constexpr DWORD IOCTL_SERIAL_GET_STATS = 0x001B008C;

// WaitForSingleObject
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD MAXDWORD = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// FormatMessageA
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;
constexpr DWORD MAKELANGID(WORD primary, WORD sub) {
    return (DWORD{sub} << 10) | primary;
}

// Opens "\\.\COMn" (or "COMn") for reading and writing, without sharing, with
// FILE_FLAG_OVERLAPPED; where COMn leads is said in platform/comports.h. Any other name fails with
// ERROR_FILE_NOT_FOUND. A missing device gives ERROR_FILE_NOT_FOUND, a port that is already open
// (here or in another program, or locked by a live process's lock file) or that the user may not
// open gives ERROR_ACCESS_DENIED.
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// The line settings read from the driver: baud rate, data bits, parity, stop bits, flow control
// and the XON/XOFF characters; fields the driver has no notion of keep the last value set.
BOOL GetCommState(HANDLE hFile, LPDCB lpDCB);
// Puts the line into raw mode with the receiver on and modem status lines ignored, at any baud
// rate. Fails with ERROR_INVALID_PARAMETER for a setting outside Windows' ranges (baud rate 0,
// ByteSize outside 5-8, 1.5 stop bits without 5 data bits, 2 with 5) and for one the driver does
// not keep (the line is read back after writing).
BOOL SetCommState(HANDLE hFile, LPDCB lpDCB);

BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);

// PURGE_RXCLEAR empties the input queue and the driver's; PURGE_TXCLEAR the driver's output;
// the ABORT flags complete a pending read or write with ERROR_OPERATION_ABORTED.
BOOL PurgeComm(HANDLE hFile, DWORD dwFlags);

// Changing the mask completes a pending WaitCommEvent with an event mask of 0.
BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask);

// SETRTS/CLRRTS/SETDTR/CLRDTR drive the modem lines, SETBREAK/CLRBREAK the break state,
// SETXOFF/SETXON suspend and resume output. A pseudo-terminal has no modem lines: there the line
// calls fail with ERROR_NOT_SUPPORTED and change nothing.
BOOL EscapeCommFunction(HANDLE hFile, DWORD dwFunc);

// The levels of CTS, DSR, RI and DCD (RLSD) as MS_*_ON bits. Fails with ERROR_NOT_SUPPORTED where
// the device has no modem lines (a pseudo-terminal, some USB CDC devices).
BOOL GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat);

// Not a Windows call. Windows reports changes of the input lines as the EV_CTS, EV_DSR, EV_RLSD and
// EV_RING events of WaitCommEvent, whose one waiter per port is the receive worker's here; this is
// a wait of its own for them, the kernel's TIOCMIWAIT, on the calling thread. Blocks until the
// levels differ from *lpModemStat (MS_*_ON bits, as GetCommModemStatus gives them), then writes
// the new levels there. Returns at once when they differ already. Fails with
// ERROR_OPERATION_ABORTED when the port is closed meanwhile (CloseHandle ends the wait before it
// returns), ERROR_NOT_SUPPORTED where the device has no modem lines, and ERROR_INVALID_PARAMETER
// while another thread waits on the same port.
BOOL WaitCommModemStatus(HANDLE hFile, LPDWORD lpModemStat);

// With EV_RXCHAR in the mask: completes at once (TRUE, *lpEvtMask = EV_RXCHAR) when bytes are
// queued, otherwise returns FALSE with ERROR_IO_PENDING and completes when bytes arrive, the mask
// changes or the port closes. *lpEvtMask is written at completion, so it must live until then.
BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped);

// Reports and clears the line errors (CE_*) seen since the last call, and fills lpStat, if given,
// with the number of bytes in the input queue and of bytes not yet written.
BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat);

// IOCTL_SERIAL_GET_STATS only, synchronous (lpOverlapped is ignored): fills a SERIALPERF_STATS.
// ERROR_NOT_SUPPORTED where the driver keeps no error counts (a pseudo-terminal), and
// ERROR_INVALID_FUNCTION for any other code.
BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                     LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                     LPOVERLAPPED lpOverlapped);

// Overlapped only (lpOverlapped must be given). TRUE when done at once, with the count in
// *lpNumberOf...; otherwise FALSE with ERROR_IO_PENDING, and lpBuffer must live until completion.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);

// The byte count and the result of an overlapped operation. With bWait it first waits on the
// record's event. Reads only the record, so it also answers after hFile has been closed.
BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL bWait);

// Unnamed events only; a name fails with ERROR_NOT_SUPPORTED.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCSTR lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);

// Waits on an event. WAIT_OBJECT_0 when it is signalled (an auto-reset event is reset again),
// WAIT_TIMEOUT after dwMilliseconds (INFINITE: never), WAIT_FAILED for anything but an event.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// Closes a port or an event. A wait already running on a closed event goes on until it is set.
BOOL CloseHandle(HANDLE hObject);

void Sleep(DWORD dwMilliseconds);

// With FORMAT_MESSAGE_FROM_SYSTEM: copies the system's English text for dwMessageId, ending in a
// full stop and CR LF, into lpBuffer and returns its length; 0 when the code has no text
// (ERROR_MR_MID_NOT_FOUND) or nSize is too small (ERROR_INSUFFICIENT_BUFFER).
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, va_list* Arguments);
