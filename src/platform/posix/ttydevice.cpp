// SPDX-License-Identifier: GPL-3.0-or-later
// The termios2 interface, which takes any baud rate as a number (BOTHER), lives only in the
// kernel's headers; they clash with <termios.h>, so this file is the only one that speaks to the
// tty driver and it includes nothing from glibc's termios.
#include "platform/posix/ttydevice.h"

#include "platform/openfailure.h"
#include "platform/posix/errors.h"

#include <asm/termbits.h>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <linux/serial.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace corvane::posix {
namespace {

DWORD LastErrno() {
    return Win32ErrorFromErrno(errno, ErrnoContext::Using);
}

DWORD Ioctl(int fd, unsigned long request, auto argument) {
    return ioctl(fd, request, argument) == 0 ? ERROR_SUCCESS : LastErrno();
}

bool ValidSettings(const DCB& dcb) {
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS)
        return false;
    // As on Windows: 1.5 stop bits only with 5 data bits, 2 stop bits never with 5.
    if (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5)
        return false;
    if (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5)
        return false;
    // Linux has neither DTR handshaking nor RTS toggling.
    return dcb.fDtrControl != DTR_CONTROL_HANDSHAKE && dcb.fRtsControl != RTS_CONTROL_TOGGLE;
}

tcflag_t SizeFlag(BYTE byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

tcflag_t ParityFlags(BYTE parity) {
    switch (parity) {
    case ODDPARITY:
        return PARENB | PARODD;
    case EVENPARITY:
        return PARENB;
    case MARKPARITY: // "stick" parity: PARODD picks a parity bit of 1
        return PARENB | CMSPAR | PARODD;
    case SPACEPARITY:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

constexpr tcflag_t kFramingMask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

// A UART makes its rate by dividing a clock, so drivers report the nearest rate they can make.
// Within 2% both ends still sample every bit of a character correctly.
bool CloseEnough(speed_t got, speed_t wanted) {
    return std::llabs(static_cast<long long>(got) - static_cast<long long>(wanted)) * 50 <=
           static_cast<long long>(wanted);
}

// Raw mode: bytes pass both ways exactly as they are, with no echo, no line editing, no signal
// characters, no CR/LF translation and no output processing; the receiver on and the modem
// status lines ignored. The framing, the rate and the flow control are not touched.
void MakeRaw(termios2& line) {
    line.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXANY | IMAXBEL);
    line.c_iflag |= IGNBRK; // a break is a line event, not a zero byte in the data
    line.c_oflag &= ~OPOST;
    line.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ICANON | ISIG | IEXTEN);
    line.c_cflag |= CREAD | CLOCAL;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
}

} // namespace

DWORD OpenTty(const std::string& path, int& fd) {
    fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // EBUSY: the tty's exclusive flag, which only root gets past.
    if (fd < 0)
        return errno == EBUSY ? ERROR_SHARING_VIOLATION
                              : Win32ErrorFromErrno(errno, ErrnoContext::Opening);
    termios2 line{};
    DWORD error = Ioctl(fd, TCGETS2, &line);
    // A program that opened the device plainly (cat, a script) claims nothing, yet every byte the
    // device sends would go to whichever of us reads first: the port is not shared. Looked at
    // once the device is known to be a tty (everyone has /dev/null open) and before the line is
    // changed under that program.
    if (error == ERROR_SUCCESS && OpenElsewhere(path))
        error = ERROR_ACCESS_DENIED;
    if (error == ERROR_SUCCESS && flock(fd, LOCK_EX | LOCK_NB) != 0)
        error = Win32ErrorFromErrno(errno, ErrnoContext::Opening);
    if (error == ERROR_SUCCESS)
        error = Ioctl(fd, TIOCEXCL, 0);
    // A device fresh from the kernel is in line mode: it would echo what the device sends and
    // change CR, LF and control characters both ways. Raw before anyone reads a byte.
    // The kernel's default has IXON on, which would swallow the device's 0x11 and 0x13 and stop
    // output after a 0x13 until the first configuration says otherwise, if it is ever accepted:
    // no software flow control until a configuration asks for it, as on a Windows port.
    if (error == ERROR_SUCCESS) {
        MakeRaw(line);
        line.c_iflag &= ~(IXON | IXOFF);
        error = Ioctl(fd, TCSETS2, &line);
    }
    if (error != ERROR_SUCCESS) {
        close(fd);
        fd = -1;
    }
    return error;
}

void CloseTty(int fd) {
    // The exclusive flag stays on the tty after close; clear it so the next open is not refused.
    ioctl(fd, TIOCNXCL, 0);
    // Output still queued would keep close() waiting for up to the port's closing_wait (30 s by
    // default on a UART whose device holds it back): a write that did not end in time has failed
    // already, so its rest is discarded.
    ioctl(fd, TCFLSH, TCOFLUSH);
    close(fd);
}

DWORD ReadLineSettings(int fd, DCB& dcb) {
    termios2 line{};
    if (const DWORD error = Ioctl(fd, TCGETS2, &line); error != ERROR_SUCCESS)
        return error;
    dcb.BaudRate = line.c_ospeed;
    dcb.fBinary = 1;
    switch (line.c_cflag & CSIZE) {
    case CS5:
        dcb.ByteSize = 5;
        break;
    case CS6:
        dcb.ByteSize = 6;
        break;
    case CS7:
        dcb.ByteSize = 7;
        break;
    default:
        dcb.ByteSize = 8;
    }
    if (!(line.c_cflag & PARENB))
        dcb.Parity = NOPARITY;
    else if (line.c_cflag & CMSPAR)
        dcb.Parity = (line.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        dcb.Parity = (line.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    if (!(line.c_cflag & CSTOPB))
        dcb.StopBits = ONESTOPBIT;
    else
        dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    dcb.fParity = (line.c_iflag & INPCK) ? 1 : 0;
    dcb.fOutxCtsFlow = (line.c_cflag & CRTSCTS) ? 1 : 0;
    if (line.c_cflag & CRTSCTS)
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    else if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = (line.c_iflag & IXON) ? 1 : 0;
    dcb.fInX = (line.c_iflag & IXOFF) ? 1 : 0;
    dcb.XonChar = static_cast<char>(line.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(line.c_cc[VSTOP]);
    return ERROR_SUCCESS;
}

DWORD WriteLineSettings(int fd, const DCB& dcb) {
    if (!ValidSettings(dcb))
        return ERROR_INVALID_PARAMETER;
    termios2 old{};
    if (const DWORD error = Ioctl(fd, TCGETS2, &old); error != ERROR_SUCCESS)
        return error;

    // Raw as the open left it, also where someone changed the line since.
    MakeRaw(old);
    termios2 line = old;
    line.c_iflag &= ~(IXON | IXOFF | INPCK | IGNPAR);
    if (dcb.fParity)
        line.c_iflag |= INPCK;
    if (dcb.fOutX)
        line.c_iflag |= IXON;
    if (dcb.fInX)
        line.c_iflag |= IXOFF;
    line.c_cflag &= ~(kFramingMask | CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= SizeFlag(dcb.ByteSize) | ParityFlags(dcb.Parity);
    if (dcb.StopBits != ONESTOPBIT)
        line.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        line.c_cflag |= CRTSCTS;
    // The rate as a number in both directions; a Bxxx code must never go into this flag word.
    line.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    line.c_ospeed = line.c_ispeed = dcb.BaudRate;
    line.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    line.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    if (const DWORD error = Ioctl(fd, TCSETS2, &line); error != ERROR_SUCCESS)
        return error;

    termios2 kept{};
    if (const DWORD error = Ioctl(fd, TCGETS2, &kept); error != ERROR_SUCCESS)
        return error;
    if ((kept.c_cflag & kFramingMask) != (line.c_cflag & kFramingMask) ||
        !CloseEnough(kept.c_ospeed, dcb.BaudRate)) {
        // Back to the old framing, rate and flow control; the line stays raw.
        ioctl(fd, TCSETS2, &old);
        return ERROR_INVALID_PARAMETER;
    }
    // Devices without modem lines (pseudo-terminals) refuse these; the line settings still hold.
    if (dcb.fDtrControl != DTR_CONTROL_HANDSHAKE)
        SetModemLine(fd, ModemLine::Dtr, dcb.fDtrControl == DTR_CONTROL_ENABLE);
    if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE)
        SetModemLine(fd, ModemLine::Rts, dcb.fRtsControl == RTS_CONTROL_ENABLE);
    return ERROR_SUCCESS;
}

DWORD FlushTty(int fd, bool input, bool output) {
    if (input && output)
        return Ioctl(fd, TCFLSH, TCIOFLUSH);
    if (input)
        return Ioctl(fd, TCFLSH, TCIFLUSH);
    if (output)
        return Ioctl(fd, TCFLSH, TCOFLUSH);
    return ERROR_SUCCESS;
}

namespace {

int Errno(int result) {
    return result == 0 ? 0 : errno;
}

const ModemLinesSource kDriverModemLines{
    [](int fd, int& bits) { return Errno(ioctl(fd, TIOCMGET, &bits)); },
    [](int fd, int bits, bool raised) {
        return Errno(ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &bits));
    },
    [](int fd, bool on) { return Errno(ioctl(fd, on ? TIOCSBRK : TIOCCBRK, 0)); },
    [](int fd, int bits) { return Errno(ioctl(fd, TIOCMIWAIT, bits)); },
};

std::atomic<const ModemLinesSource*> modemLines{&kDriverModemLines};

DWORD FromErrno(int err) {
    return Win32ErrorFromErrno(err, ErrnoContext::Using);
}

constexpr int kInputLines = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RI;

} // namespace

DWORD SetModemLine(int fd, ModemLine line, bool raised) {
    return FromErrno(
        modemLines.load()->set(fd, line == ModemLine::Rts ? TIOCM_RTS : TIOCM_DTR, raised));
}

DWORD SetBreak(int fd, bool on) {
    return FromErrno(modemLines.load()->setBreak(fd, on));
}

DWORD ReadModemStatus(int fd, DWORD& status) {
    int bits = 0;
    if (const int err = modemLines.load()->get(fd, bits); err != 0)
        return FromErrno(err);
    status = ((bits & TIOCM_CTS) ? MS_CTS_ON : 0) | ((bits & TIOCM_DSR) ? MS_DSR_ON : 0) |
             ((bits & TIOCM_RI) ? MS_RING_ON : 0) | ((bits & TIOCM_CD) ? MS_RLSD_ON : 0);
    return ERROR_SUCCESS;
}

DWORD WaitModemChange(int fd) {
    const int err = modemLines.load()->wait(fd, kInputLines);
    return err == EINTR ? ERROR_OPERATION_ABORTED : FromErrno(err);
}

void SetModemLinesSource(const ModemLinesSource* source) {
    modemLines.store(source ? source : &kDriverModemLines);
}

int ModemWaitSignal() {
    // The first real-time signal glibc leaves to programs; nothing else here uses it.
    static const int signal = [] {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: the interrupted wait must return
        sigaction(SIGRTMIN, &action, nullptr);
        return SIGRTMIN;
    }();
    return signal;
}

DWORD SuspendOutput(int fd, bool suspended) {
    return Ioctl(fd, TCXONC, suspended ? TCOOFF : TCOON);
}

namespace {

bool DriverLineErrorCounts(int fd, LineErrorCounts& counts) {
    serial_icounter_struct icount{};
    if (ioctl(fd, TIOCGICOUNT, &icount) != 0)
        return false;
    counts.frame = icount.frame;
    counts.overrun = icount.overrun;
    counts.bufferOverrun = icount.buf_overrun;
    counts.parity = icount.parity;
    counts.brk = icount.brk;
    return true;
}

std::atomic<LineErrorCountsSource> countsSource{nullptr};

std::size_t DriverUnsentOutput(int fd) {
    int queued = 0;
    return ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 ? static_cast<std::size_t>(queued) : 0;
}

std::atomic<UnsentOutputSource> unsentSource{nullptr};

} // namespace

std::size_t UnsentOutput(int fd) {
    const UnsentOutputSource source = unsentSource.load();
    return source ? source(fd) : DriverUnsentOutput(fd);
}

void SetUnsentOutputSource(UnsentOutputSource source) {
    unsentSource.store(source);
}

bool ReadLineErrorCounts(int fd, LineErrorCounts& counts) {
    const LineErrorCountsSource source = countsSource.load();
    return source ? source(fd, counts) : DriverLineErrorCounts(fd, counts);
}

void SetLineErrorCountsSource(LineErrorCountsSource source) {
    countsSource.store(source);
}

} // namespace corvane::posix
