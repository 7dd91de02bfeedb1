// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tty device under a serial port: opening it exclusively and the ioctls that configure it.
// Every function returns a Win32 error code (ERROR_SUCCESS when it worked).

#include "platform/commapi.h"

#include <cstddef>
#include <string>

namespace corvane::posix {

// Opens path for reading and writing, non-blocking, as nobody's controlling terminal, and claims
// it: TIOCEXCL keeps other programs out, and a non-blocking flock keeps out those TIOCEXCL does not
// stop (root). The line is put into raw mode at once (see WriteLineSettings) with no software flow
// control, keeping its framing and rate. The descriptor goes to fd.
// A device another program has open, claimed or not, is refused with ERROR_ACCESS_DENIED (as far
// as this user can see other programs: see OpenElsewhere). An exclusive flag found on a device no
// other program has open outlived the program that set it (a pty's flag lasts while its master is
// open): it is taken over where the system lets this process past it (root); where it does not,
// the open fails with ERROR_SHARING_VIOLATION.
DWORD OpenTty(const std::string& path, int& fd);
// Gives up the claim, discards output not yet sent, so that closing never waits for the device to
// take it, and closes the descriptor.
void CloseTty(int fd);

// The DCB fields the line has: baud rate, data bits, parity, stop bits, parity checking, flow
// control and the XON/XOFF characters. Other fields of dcb are left as they are.
DWORD ReadLineSettings(int fd, DCB& dcb);
// Raw mode with the receiver on and the modem status lines ignored, plus the DCB's settings; the
// DTR and RTS lines follow their control fields where the device has them. The line is read back,
// and a setting the driver did not keep puts back the old framing, rate and flow control and
// fails; the line stays raw either way.
DWORD WriteLineSettings(int fd, const DCB& dcb);

DWORD FlushTty(int fd, bool input, bool output);

enum class ModemLine { Rts, Dtr };
DWORD SetModemLine(int fd, ModemLine line, bool raised);
DWORD SetBreak(int fd, bool on);
// The input lines CTS, DSR, DCD and RI as GetCommModemStatus gives them (MS_*_ON);
// ERROR_NOT_SUPPORTED where the device has no modem lines (pseudo-terminals).
DWORD ReadModemStatus(int fd, DWORD& status);
// Blocks until an input line changes (TIOCMIWAIT). ERROR_OPERATION_ABORTED when a signal cut the
// wait short (see InterruptModemWait), ERROR_NOT_SUPPORTED without modem lines.
DWORD WaitModemChange(int fd);

// What the modem-line calls above reach: the driver's ioctls, or a device of the tests' own, as no
// device here has modem lines a test can move. Each returns an errno value, 0 when it worked; the
// wait returns EINTR when a signal interrupted it, like the ioctl. nullptr gives back the driver.
struct ModemLinesSource {
    int (*get)(int fd, int& bits);             // TIOCMGET: TIOCM_* bits
    int (*set)(int fd, int bits, bool raised); // TIOCMBIS, TIOCMBIC
    int (*setBreak)(int fd, bool on);          // TIOCSBRK, TIOCCBRK
    int (*wait)(int fd, int bits);             // TIOCMIWAIT
};
void SetModemLinesSource(const ModemLinesSource* source);

// The signal that ends a WaitModemChange on another thread: its handler does nothing, and it is
// installed without SA_RESTART, so the blocked ioctl returns EINTR. Installed once.
int ModemWaitSignal();
DWORD SuspendOutput(int fd, bool suspended);

// Bytes written to the device that it has not sent yet (TIOCOUTQ); 0 where the driver does not
// say (pseudo-terminals, which pass every byte on at once).
std::size_t UnsentOutput(int fd);

// Where UnsentOutput takes its count from: a UART's transmitter cannot be held back on demand
// here, so tests put a count of their own in place; nullptr gives back the driver's.
using UnsentOutputSource = std::size_t (*)(int fd);
void SetUnsentOutputSource(UnsentOutputSource source);

// Counters of line errors since the device was opened, as the driver keeps them (TIOCGICOUNT).
struct LineErrorCounts {
    int frame = 0;
    int overrun = 0;       // the UART's own buffer overran: at least one byte lost each time
    int bufferOverrun = 0; // bytes the kernel's buffer had no room for
    int parity = 0;
    int brk = 0;
};
// False where the driver keeps none (pseudo-terminals among others).
bool ReadLineErrorCounts(int fd, LineErrorCounts& counts);

// Where ReadLineErrorCounts takes the counters from. No device here loses bytes on demand, so the
// tests of the layers above put counters of their own in place; nullptr gives back the driver's.
using LineErrorCountsSource = bool (*)(int fd, LineErrorCounts& counts);
void SetLineErrorCountsSource(LineErrorCountsSource source);

} // namespace corvane::posix
