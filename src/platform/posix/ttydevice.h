#pragma once
// The tty device under a serial port: opening it exclusively and the ioctls that configure it.
// Every function returns a Win32 error code (ERROR_SUCCESS when it worked).

#include "platform/commapi.h"

#include <string>

namespace corvane::posix {

// Opens path for reading and writing, non-blocking, as nobody's controlling terminal, and claims
// it: TIOCEXCL keeps other programs out, and a non-blocking flock keeps out those TIOCEXCL does not
// stop (root). The descriptor goes to fd.
DWORD OpenTty(const std::string& path, int& fd);
// Gives up the claim and closes the descriptor.
void CloseTty(int fd);

// The DCB fields the line has: baud rate, data bits, parity, stop bits, parity checking, flow
// control and the XON/XOFF characters. Other fields of dcb are left as they are.
DWORD ReadLineSettings(int fd, DCB& dcb);
// Raw mode with the receiver on and the modem status lines ignored, plus the DCB's settings; the
// DTR and RTS lines follow their control fields where the device has them. The line is read back,
// and a setting the driver did not keep restores the old line and fails.
DWORD WriteLineSettings(int fd, const DCB& dcb);

DWORD FlushTty(int fd, bool input, bool output);

enum class ModemLine { Rts, Dtr };
DWORD SetModemLine(int fd, ModemLine line, bool raised);
DWORD SetBreak(int fd, bool on);
DWORD SuspendOutput(int fd, bool suspended);

// Counters of line errors since the device was opened; false where the driver keeps none.
struct LineErrorCounts {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
};
bool ReadLineErrorCounts(int fd, LineErrorCounts& counts);

} // namespace corvane::posix
