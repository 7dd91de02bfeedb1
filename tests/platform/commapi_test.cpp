// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/commapi.h"

#include "fakemodemlines.h"
#include "fakeuartcounts.h"
#include "platform/posix/handletable.h"
#include "platform/posix/portlock.h"
#include "platform/posix/ttydevice.h"
#include "ptydevice.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace corvane;
using namespace corvane::testing;

namespace {

HANDLE OpenCom(unsigned number) {
    const std::string path = "\\\\.\\COM" + std::to_string(number);
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}

// One pty linked as COM7, opened as a port, and an event for its operations.
class OpenPort : public ::testing::Test {
protected:
    void SetUp() override {
        folder.Link(7, device.SlavePath());
        port = OpenCom(7);
        ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    }
    void TearDown() override {
        if (port != INVALID_HANDLE_VALUE)
            CloseHandle(port);
        CloseHandle(overlapped.hEvent);
    }

    // Waits for a pending operation and returns its byte count; fails the test on an error.
    DWORD Finish() {
        DWORD count = 0;
        EXPECT_TRUE(GetOverlappedResult(port, &overlapped, &count, TRUE)) << GetLastError();
        return count;
    }

    // The bytes queued; the errors reported on the way are gathered in seenErrors.
    DWORD Queued() {
        COMSTAT stat{};
        DWORD errors = 0;
        EXPECT_TRUE(ClearCommError(port, &errors, &stat));
        seenErrors |= errors;
        return stat.cbInQue;
    }

    // Waits, through WaitCommEvent, until at least size bytes are queued.
    void AwaitQueued(DWORD size) {
        while (Queued() < size) {
            DWORD mask = 0;
            if (!WaitCommEvent(port, &mask, &overlapped)) {
                ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
                Finish();
            }
        }
    }

    PortsFolder folder;
    PtyDevice device;
    HANDLE port = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};
    DWORD seenErrors = 0;
};

struct LineCase {
    DWORD baud;
    BYTE byteSize;
    BYTE parity;
    BYTE stopBits;
    unsigned cflag; // the framing bits expected on the tty
};

TEST_F(OpenPort, LineSettingsReachTheTtyAndReadBack) {
    // A pty keeps any rate and the stop bits, but only 8 data bits without parity.
    const LineCase cases[] = {
        {19200, 8, NOPARITY, TWOSTOPBITS, CS8 | CSTOPB}, {14400, 8, NOPARITY, ONESTOPBIT, CS8},
        {28800, 8, NOPARITY, TWOSTOPBITS, CS8 | CSTOPB}, {7200, 8, NOPARITY, ONESTOPBIT, CS8},
        {3600, 8, NOPARITY, TWOSTOPBITS, CS8 | CSTOPB},  {4000000, 8, NOPARITY, ONESTOPBIT, CS8},
        {1234567, 8, NOPARITY, ONESTOPBIT, CS8},
    };
    constexpr unsigned kFraming = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    for (const LineCase& c : cases) {
        DCB dcb{};
        ASSERT_TRUE(GetCommState(port, &dcb));
        dcb.BaudRate = c.baud;
        dcb.ByteSize = c.byteSize;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stopBits;
        ASSERT_TRUE(SetCommState(port, &dcb)) << c.baud << " " << GetLastError();

        const SlaveLine line = ReadSlaveLine(device.Master());
        EXPECT_EQ(line.ospeed, c.baud);
        EXPECT_EQ(line.ispeed, c.baud);
        EXPECT_EQ(line.cflag & kFraming, c.cflag) << c.baud;
        EXPECT_EQ(line.cflag & (CREAD | CLOCAL), unsigned{CREAD | CLOCAL});
        EXPECT_EQ(line.lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(line.oflag & OPOST, 0u);
        EXPECT_EQ(line.iflag & (ICRNL | IXON | IXOFF | ISTRIP), 0u);

        DCB back{};
        ASSERT_TRUE(GetCommState(port, &back));
        EXPECT_EQ(back.BaudRate, c.baud);
        EXPECT_EQ(back.ByteSize, c.byteSize);
        EXPECT_EQ(back.Parity, c.parity);
        EXPECT_EQ(back.StopBits, c.stopBits);
    }
}

TEST_F(OpenPort, SettingsOutsideTheRangesOrNotKeptAreRefusedAndLeaveTheLine) {
    DCB good{};
    ASSERT_TRUE(GetCommState(port, &good));
    good.BaudRate = 9600;
    good.ByteSize = 8;
    good.Parity = NOPARITY;
    good.StopBits = ONESTOPBIT;
    ASSERT_TRUE(SetCommState(port, &good));

    const auto with = [&](auto change) {
        DCB dcb = good;
        change(dcb);
        return dcb;
    };
    DCB refused[] = {
        with([](DCB& d) { d.BaudRate = 0; }),
        with([](DCB& d) { d.ByteSize = 9; }),
        with([](DCB& d) { d.ByteSize = 4; }),
        with([](DCB& d) { d.Parity = 5; }),
        with([](DCB& d) { d.StopBits = 3; }),
        with([](DCB& d) { d.StopBits = ONE5STOPBITS; }),
        with([](DCB& d) { d.ByteSize = 5, d.StopBits = TWOSTOPBITS; }),
        with([](DCB& d) { d.fDtrControl = DTR_CONTROL_HANDSHAKE; }),
        with([](DCB& d) { d.fRtsControl = RTS_CONTROL_TOGGLE; }),
        // Valid on Windows, but the pty does not keep them: found out by reading the line back.
        with([](DCB& d) { d.ByteSize = 7, d.Parity = EVENPARITY; }),
        with([](DCB& d) { d.Parity = ODDPARITY; }),
        with([](DCB& d) { d.Parity = MARKPARITY; }),
        with([](DCB& d) { d.ByteSize = 5, d.StopBits = ONE5STOPBITS; }),
    };
    for (DCB& dcb : refused) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(SetCommState(port, &dcb));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        const SlaveLine line = ReadSlaveLine(device.Master());
        EXPECT_EQ(line.ospeed, 9600u);
        EXPECT_EQ(line.cflag & (CSIZE | PARENB | CSTOPB), unsigned{CS8});
    }
}

TEST_F(OpenPort, TimeoutsAreKeptPerPort) {
    COMMTIMEOUTS set{1, 2, 3, 10, 100};
    ASSERT_TRUE(SetCommTimeouts(port, &set));
    COMMTIMEOUTS got{};
    ASSERT_TRUE(GetCommTimeouts(port, &got));
    EXPECT_EQ(got.ReadIntervalTimeout, 1u);
    EXPECT_EQ(got.ReadTotalTimeoutMultiplier, 2u);
    EXPECT_EQ(got.ReadTotalTimeoutConstant, 3u);
    EXPECT_EQ(got.WriteTotalTimeoutMultiplier, 10u);
    EXPECT_EQ(got.WriteTotalTimeoutConstant, 100u);
}

TEST_F(OpenPort, WrittenBytesReachTheDevice) {
    const ByteString payload("\x01\x03\x00\x00\xFF", 5);
    DWORD written = 0;
    if (!WriteFile(port, payload.data(), 5, &written, &overlapped)) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        written = Finish();
    }
    EXPECT_EQ(written, 5u);
    EXPECT_EQ(device.Read(5), payload);
}

TEST_F(OpenPort, AWriteTheDeviceDoesNotTakeFailsWithTheCountWrittenSoFar) {
    // Nobody reads the master, so the pty fills up and the rest can only time out.
    COMMTIMEOUTS timeouts{0, 0, 0, 0, 50};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    const ByteString payload(1 << 20, 'x');
    DWORD written = 0;
    ASSERT_FALSE(WriteFile(port, payload.data(), payload.size(), &written, &overlapped));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(GetOverlappedResult(port, &overlapped, &written, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_SEM_TIMEOUT);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, payload.size());
    EXPECT_EQ(device.Read(written).size(), written);

    // A device that has sent XOFF takes nothing at all.
    device.StopTakingOutput();
    ASSERT_FALSE(WriteFile(port, "abc", 3, &written, &overlapped));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(GetOverlappedResult(port, &overlapped, &written, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_SEM_TIMEOUT);
    EXPECT_EQ(written, 0u);
}

TEST_F(OpenPort, WaitCommEventIsPendingUntilBytesArriveThenCompletesAtOnce) {
    DWORD mask = 0xDEAD;
    ASSERT_FALSE(WaitCommEvent(port, &mask, &overlapped));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_TIMEOUT);
    device.Write("abc");
    Finish();
    EXPECT_EQ(mask, EV_RXCHAR);

    AwaitQueued(3);
    mask = 0;
    EXPECT_TRUE(WaitCommEvent(port, &mask, &overlapped)); // bytes queued: no waiting
    EXPECT_EQ(mask, EV_RXCHAR);
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_OBJECT_0);
}

TEST_F(OpenPort, ReadFileTakesFromTheQueue) {
    device.Write("hello");
    AwaitQueued(5);
    char buffer[5] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(port, buffer, 3, &got, &overlapped));
    EXPECT_EQ(ByteString(buffer, got), "hel");
    EXPECT_EQ(Queued(), 2u);

    // More than is queued: the read waits for the rest, then ends at its time-out.
    COMMTIMEOUTS timeouts{0, 0, 20, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    ASSERT_FALSE(ReadFile(port, buffer, 5, &got, &overlapped));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(Finish(), 2u);
    EXPECT_EQ(ByteString(buffer, 2), "lo");

    // A pending read is filled as bytes come.
    timeouts = {0, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    ASSERT_FALSE(ReadFile(port, buffer, 4, &got, &overlapped));
    device.Write("wxyz");
    EXPECT_EQ(Finish(), 4u);
    EXPECT_EQ(ByteString(buffer, 4), "wxyz");
}

TEST_F(OpenPort, ClosingThePortEndsAPendingWaitOfAnotherThread) {
    DWORD mask = 0xDEAD;
    DWORD waitResult = 0;
    BOOL ok = TRUE;
    DWORD error = 0;
    ASSERT_FALSE(WaitCommEvent(port, &mask, &overlapped));
    std::thread waiter([&] {
        waitResult = WaitForSingleObject(overlapped.hEvent, INFINITE);
        DWORD count;
        ok = GetOverlappedResult(port, &overlapped, &count, FALSE);
        error = GetLastError();
    });
    ASSERT_TRUE(CloseHandle(port));
    waiter.join();
    EXPECT_EQ(waitResult, WAIT_OBJECT_0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, ERROR_OPERATION_ABORTED);
    EXPECT_EQ(mask, 0u);

    // The old handle leads nowhere, even once a new port is open on the same device.
    const HANDLE old = port;
    port = OpenCom(7);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_NE(port, old);
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(old, "x", 1, &written, &overlapped));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    DCB dcb{};
    EXPECT_FALSE(GetCommState(old, &dcb));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(old));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(device.ReadAvailable(), "");
}

TEST_F(OpenPort, ChangingTheMaskEndsAPendingWaitWithNoEvent) {
    DWORD mask = 0xDEAD;
    ASSERT_FALSE(WaitCommEvent(port, &mask, &overlapped));
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    Finish();
    EXPECT_EQ(mask, 0u);
}

TEST_F(OpenPort, AFullQueueHoldsTheDeviceBackAndLosesNothing) {
    constexpr DWORD kQueue = 4 * 1024 * 1024;
    ByteString sent(kQueue + 256 * 1024, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<char>(i * 7 + i / 251);
    std::thread writer([&] { device.Write(sent); });
    AwaitQueued(kQueue);
    EXPECT_EQ(Queued(), kQueue); // the rest waits in the kernel
    EXPECT_EQ(seenErrors, 0u);

    // Each read ends 50 ms after its last byte; one that gets nothing for 5 s means no more come.
    COMMTIMEOUTS timeouts{50, 0, 5000, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    ByteString got;
    std::vector<char> buffer(kQueue);
    while (got.size() < sent.size()) {
        DWORD n = 0;
        if (!ReadFile(port, buffer.data(), kQueue, &n, &overlapped)) {
            ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
            n = Finish();
        }
        if (n == 0)
            break;
        got.append(buffer.data(), n);
    }
    writer.join();
    EXPECT_TRUE(got == sent);
    EXPECT_EQ(seenErrors, 0u);
}

TEST_F(OpenPort, PurgeEmptiesTheInputQueue) {
    device.Write("12345");
    AwaitQueued(5);
    ASSERT_TRUE(PurgeComm(port, PURGE_TXCLEAR | PURGE_RXCLEAR));
    EXPECT_EQ(Queued(), 0u);
}

TEST_F(OpenPort, AHangUpEndsAPendingWaitWithAnError) {
    DWORD mask = 0;
    ASSERT_FALSE(WaitCommEvent(port, &mask, &overlapped));
    device.CloseMaster();
    DWORD count = 0;
    EXPECT_FALSE(GetOverlappedResult(port, &overlapped, &count, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_FALSE(WaitCommEvent(port, &mask, &overlapped));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
}

TEST_F(OpenPort, WhatCameBeforeAHangUpCanStillBeRead) {
    device.Write("abc");
    AwaitQueued(3);
    device.CloseMaster();
    DWORD mask = 0;
    EXPECT_TRUE(WaitCommEvent(port, &mask, &overlapped));
    char buffer[3];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(port, buffer, 3, &got, &overlapped));
    EXPECT_EQ(ByteString(buffer, got), "abc");
    // Then the hang-up shows, at once or as soon as the port has seen it.
    if (!WaitCommEvent(port, &mask, &overlapped) && GetLastError() == ERROR_IO_PENDING) {
        EXPECT_FALSE(GetOverlappedResult(port, &overlapped, &got, TRUE));
    }
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
}

TEST_F(OpenPort, ModemLinesFailHarmlesslyOnAPseudoTerminal) {
    EXPECT_FALSE(EscapeCommFunction(port, SETRTS));
    EXPECT_FALSE(EscapeCommFunction(port, SETDTR));
    EXPECT_FALSE(EscapeCommFunction(port, 42));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    device.Write("ok");
    AwaitQueued(2);
}

TEST_F(OpenPort, FlowControlReachesTheTtyAndReadsBack) {
    struct FlowCase {
        const char* name;
        bool cts, xon;
        unsigned cflag, iflag; // expected on the tty
    };
    const FlowCase cases[] = {
        {"RTS/CTS", true, false, CRTSCTS, 0},
        {"XON/XOFF", false, true, 0, IXON | IXOFF},
        {"none", false, false, 0, 0},
    };
    for (const FlowCase& c : cases) {
        DCB dcb{};
        ASSERT_TRUE(GetCommState(port, &dcb));
        dcb.BaudRate = 19200;
        dcb.StopBits = ONESTOPBIT;
        dcb.fOutxCtsFlow = c.cts;
        dcb.fRtsControl = c.cts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
        dcb.fOutX = dcb.fInX = c.xon;
        ASSERT_TRUE(SetCommState(port, &dcb)) << c.name;

        const SlaveLine line = ReadSlaveLine(device.Master());
        EXPECT_EQ(line.cflag & CRTSCTS, c.cflag) << c.name;
        EXPECT_EQ(line.iflag & (IXON | IXOFF), c.iflag) << c.name;
        EXPECT_EQ(line.cflag & (CSIZE | PARENB | CSTOPB), unsigned{CS8}) << c.name;
        DCB back{};
        ASSERT_TRUE(GetCommState(port, &back));
        EXPECT_EQ(back.fOutxCtsFlow, DWORD{c.cts}) << c.name;
        EXPECT_EQ(back.fRtsControl == RTS_CONTROL_HANDSHAKE, c.cts) << c.name;
        EXPECT_EQ(back.fOutX, DWORD{c.xon}) << c.name;
        EXPECT_EQ(back.fInX, DWORD{c.xon}) << c.name;
    }
}

TEST_F(OpenPort, APseudoTerminalHasNoModemLinesToReadOrWaitFor) {
    DWORD status = 0;
    EXPECT_FALSE(GetCommModemStatus(port, &status));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(WaitCommModemStatus(port, &status)); // at once: nothing to wait for
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(GetCommModemStatus(INVALID_HANDLE_VALUE, &status));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// The port opened on a device with modem lines of the test's own.
class LinesPort : public OpenPort {
protected:
    FakeModemLines lines;
};

TEST_F(LinesPort, EscapesDriveDtrRtsAndTheBreak) {
    const struct {
        DWORD function;
        int lines;
        bool onBreak;
    } steps[] = {
        {CLRDTR, TIOCM_RTS, false},   {CLRRTS, 0, false},
        {SETDTR, TIOCM_DTR, false},   {SETBREAK, TIOCM_DTR, true},
        {CLRBREAK, TIOCM_DTR, false}, {SETRTS, TIOCM_DTR | TIOCM_RTS, false},
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(EscapeCommFunction(port, step.function)) << step.function;
        EXPECT_EQ(lines.Lines(), step.lines) << step.function;
        EXPECT_EQ(lines.OnBreak(), step.onBreak) << step.function;
    }
}

TEST_F(LinesPort, ModemStatusGivesEachInputLine) {
    const struct {
        int tiocm;
        DWORD status;
    } cases[] = {
        {0, 0},
        {TIOCM_CTS, MS_CTS_ON},
        {TIOCM_DSR, MS_DSR_ON},
        {TIOCM_CD, MS_RLSD_ON},
        {TIOCM_RI, MS_RING_ON},
        {TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RI,
         MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON | MS_RING_ON},
    };
    for (const auto& c : cases) {
        lines.SetInputs(c.tiocm);
        DWORD status = 0xDEAD;
        ASSERT_TRUE(GetCommModemStatus(port, &status));
        EXPECT_EQ(status, c.status) << c.tiocm; // the outputs DTR and RTS are not among them
    }
}

TEST_F(LinesPort, AWaitEndsWithTheChangeOfAnInputOrWithTheClose) {
    DWORD status = 0;
    ASSERT_TRUE(GetCommModemStatus(port, &status));
    std::atomic<bool> ended{false};
    BOOL ok = FALSE;
    std::thread waiter([&] {
        ok = WaitCommModemStatus(port, &status);
        ended = true;
    });
    lines.SetInputs(TIOCM_CTS | TIOCM_CD);
    waiter.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(status, MS_CTS_ON | MS_RLSD_ON);

    // Levels that differ already: no waiting.
    status = 0;
    EXPECT_TRUE(WaitCommModemStatus(port, &status));
    EXPECT_EQ(status, MS_CTS_ON | MS_RLSD_ON);

    // Nothing changes now: the close ends the wait, whether it had begun blocking or not.
    DWORD error = ERROR_SUCCESS;
    std::thread blocked([&] {
        if (!WaitCommModemStatus(port, &status))
            error = GetLastError();
    });
    lines.AwaitWaiter();
    ASSERT_TRUE(CloseHandle(port));
    port = INVALID_HANDLE_VALUE;
    blocked.join();
    EXPECT_TRUE(error == ERROR_OPERATION_ABORTED || error == ERROR_INVALID_HANDLE) << error;
}

TEST(CreateFileA, MissingAndForeignNamesAreNotFound) {
    PortsFolder folder;
    folder.Link(9, "/dev/nonexistent-corvane-device");
    for (const char* name :
         {"\\\\.\\COM9", "\\\\.\\COM250", "COM0", "\\\\.\\COM07", "LPT1", "/dev/null", ""}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr),
                  INVALID_HANDLE_VALUE)
            << name;
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << name;
    }
}

TEST(CreateFileA, APortInUseIsRefusedWithAccessDenied) {
    PortsFolder folder;
    PtyDevice device;
    folder.Link(3, device.SlavePath());
    folder.Link(255, device.SlavePath());

    const HANDLE first = OpenCom(3);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenCom(255), INVALID_HANDLE_VALUE); // same device under another number
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(CloseHandle(first));

    // Another program holding the device.
    const int other = open(device.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(OpenCom(3), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    close(other);

    const HANDLE again = OpenCom(255);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(again));
}

TEST(Events, ManualAndAutoReset) {
    const HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);

    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);

    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "named"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

    const std::size_t open = posix::OpenHandleCount();
    EXPECT_TRUE(CloseHandle(manual));
    EXPECT_TRUE(CloseHandle(automatic));
    EXPECT_EQ(posix::OpenHandleCount(), open - 2);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetEvent(manual));
}

TEST(Events, SetFromAnotherThreadEndsAnInfiniteWait) {
    const HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::thread setter([&] { SetEvent(event); });
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    setter.join();
    CloseHandle(event);
}

TEST(FormatMessageA, GivesTheSystemTextWithItsLineBreak) {
    char buffer[256];
    const auto format = [&](DWORD code, DWORD size) {
        return FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                              code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, size,
                              nullptr);
    };
    ASSERT_EQ(format(ERROR_ACCESS_DENIED, 256), 19u);
    EXPECT_STREQ(buffer, "Access is denied.\r\n");
    ASSERT_GT(format(ERROR_FILE_NOT_FOUND, 256), 0u);
    EXPECT_STREQ(buffer, "The system cannot find the file specified.\r\n");
    EXPECT_EQ(format(ERROR_ACCESS_DENIED, 19), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(format(4242, 256), 0u);
    EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
}

TEST(LineModeDevice, IsRawFromTheOpenAndStaysRawWhenASettingIsRefused) {
    PortsFolder folder;
    PtyDevice device(PtyDevice::Line::AsTheKernelLeavesIt);
    ASSERT_NE(ReadSlaveLine(device.Master()).lflag & ICANON, 0u);
    folder.Link(7, device.SlavePath());
    const HANDLE port = OpenCom(7);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    const SlaveLine before = ReadSlaveLine(device.Master());

    const auto expectRaw = [&](const char* when) {
        const SlaveLine line = ReadSlaveLine(device.Master());
        EXPECT_EQ(line.lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u) << when;
        EXPECT_EQ(line.oflag & OPOST, 0u) << when;
        EXPECT_EQ(line.iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u) << when;
        // No software flow control, which the kernel's default has on.
        EXPECT_EQ(line.iflag & (IXON | IXOFF | IXANY), 0u) << when;
        EXPECT_EQ(line.cflag & (CREAD | CLOCAL), unsigned{CREAD | CLOCAL}) << when;
        // Raw mode keeps the rate and the framing.
        EXPECT_EQ(line.ospeed, before.ospeed) << when;
        EXPECT_EQ(line.cflag & (CSIZE | CSTOPB), before.cflag & (CSIZE | CSTOPB)) << when;
    };
    expectRaw("at the open");
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.BaudRate = 0; // refused before anything is written
    EXPECT_FALSE(SetCommState(port, &dcb));
    expectRaw("after baud rate 0");
    dcb.BaudRate = 9600;
    dcb.Parity = ODDPARITY; // written, read back, not kept, put back
    EXPECT_FALSE(SetCommState(port, &dcb));
    expectRaw("after a setting the pty did not keep");

    // Bytes pass both ways exactly, and nothing is echoed to the device; XON and XOFF are data,
    // and the XOFF last does not stop what the port sends.
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    const ByteString fromDevice("\x61\x11\x62\x0D\x03\x7A\x13", 7);
    device.Write(fromDevice);
    ByteString got;
    char buffer[16];
    COMMTIMEOUTS timeouts{0, 0, 1000, 0, 1000};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    DWORD n = 0;
    if (!ReadFile(port, buffer, 7, &n, &overlapped)) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        ASSERT_TRUE(GetOverlappedResult(port, &overlapped, &n, TRUE));
    }
    EXPECT_EQ(ByteString(buffer, n), fromDevice);
    const ByteString toDevice("\x41\x0A\x42", 3);
    if (!WriteFile(port, toDevice.data(), 3, &n, &overlapped)) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        ASSERT_TRUE(GetOverlappedResult(port, &overlapped, &n, TRUE));
    }
    EXPECT_EQ(device.Read(3), toDevice);
    EXPECT_EQ(device.ReadAvailable(), "");
    CloseHandle(port);
    CloseHandle(overlapped.hEvent);
}

// The lock files of the Linux serial tools, in the test's own lock folder.
class LockFile : public ::testing::Test {
protected:
    void SetUp() override { folder.Link(7, device.SlavePath()); }

    std::string LockPath() const { return folder.LockFolder() + "/" + device.LockName(); }
    bool LockExists() const { return std::filesystem::exists(LockPath()); }
    std::string LockText() const {
        std::ifstream file(LockPath());
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    void WriteLock(const std::string& text) const { std::ofstream(LockPath()) << text; }
    static std::string PidText(pid_t pid) {
        char text[16];
        std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
        return text;
    }

    PortsFolder folder;
    PtyDevice device;
};

TEST_F(LockFile, NamesThisProcessWhileThePortIsOpenAndGoesAtTheClose) {
    const HANDLE port = OpenCom(7);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LockText(), PidText(getpid()));
    ASSERT_TRUE(CloseHandle(port));
    EXPECT_FALSE(LockExists());
}

TEST_F(LockFile, OneNamingALiveProcessOrNoneRefusesTheOpen) {
    // PID 1 always runs; QtSerialPort writes the PID without padding and more lines after it.
    for (const std::string& text : {PidText(1), std::string("1\nsomeapp\nhost\n"), std::string()}) {
        WriteLock(text);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(OpenCom(7), INVALID_HANDLE_VALUE) << text;
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << text;
        EXPECT_EQ(LockText(), text); // left as it was
    }
}

TEST_F(LockFile, OneNamingAProcessThatIsGoneIsTakenOver) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    WriteLock(PidText(child));
    const HANDLE port = OpenCom(7);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(LockText(), PidText(getpid()));
    ASSERT_TRUE(CloseHandle(port));
    EXPECT_FALSE(LockExists());
}

TEST_F(LockFile, EveryNameOfTheDeviceSharesOneLock) {
    folder.Link(200, device.SlavePath());
    const HANDLE port = OpenCom(7);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenCom(200), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(LockExists()); // the refused open left the holder's lock alone
    ASSERT_TRUE(CloseHandle(port));
}

TEST_F(LockFile, OneThatNamesNobodyForSecondsIsTakenOverAndOursAppearsWritten) {
    WriteLock("");
    const auto aged = std::filesystem::last_write_time(LockPath()) - std::chrono::minutes(1);
    std::filesystem::last_write_time(LockPath(), aged);
    const HANDLE port = OpenCom(7);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(LockText(), PidText(getpid()));
    // Written aside and linked into place: nothing else of ours is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.LockFolder()),
                            std::filesystem::directory_iterator{}),
              1);
    ASSERT_TRUE(CloseHandle(port));
    EXPECT_FALSE(LockExists());
}

// Takes the device's lock as a user who may read the lock folder but not write it (root drops to
// nobody: root may write anywhere); the child ends with 0 when the lock was granted, 1 when it was
// refused.
[[noreturn]] void AcquireWithoutWriteRight(const std::string& device) {
    if (geteuid() == 0 &&
        (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0))
        _exit(2);
    posix::PortLock lock;
    const DWORD error = lock.Acquire(device);
    _exit(error == ERROR_SUCCESS ? 0 : error == ERROR_ACCESS_DENIED ? 1 : 3);
}

TEST_F(LockFile, WhereNoneCanBeMadeTheOthersLiveLocksAreStillHonoured) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    namespace fs = std::filesystem;
    const fs::perms readable = fs::perms::owner_read | fs::perms::owner_exec |
                               fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(folder.Path(), readable | fs::perms::owner_write);
    // Only while the child runs: the test itself writes the others' locks.
    const auto acquire = [&] {
        fs::permissions(folder.LockFolder(), readable);
        AcquireWithoutWriteRight(device.SlavePath());
    };
    WriteLock(PidText(1)); // PID 1 always runs
    EXPECT_EXIT(acquire(), ::testing::ExitedWithCode(1), "");
    // Free, or held by nobody: granted, with no lock of ours, as none can be made.
    fs::remove(LockPath());
    EXPECT_EXIT(acquire(), ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(LockExists());
    const pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    WriteLock(PidText(gone));
    EXPECT_EXIT(acquire(), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(LockText(), PidText(gone));
    // A folder this user may not even look into shows no lock to honour.
    WriteLock(PidText(1));
    const auto acquireUnseen = [&] {
        fs::permissions(folder.LockFolder(), fs::perms::none);
        AcquireWithoutWriteRight(device.SlavePath());
    };
    EXPECT_EXIT(acquireUnseen(), ::testing::ExitedWithCode(0), "");
}

// Several programs at once find the same stale lock: each takes the lock and says whether it won
// (W) or was refused (L), then holds what it has until the test has heard from all of them. They
// start a few microseconds apart, more in each trial, so that one finds the lock stale while
// another is about to replace it.
TEST_F(LockFile, AStaleLockIsTakenOverByExactlyOneOfThoseRacingForIt) {
    // The race is narrow: a few in a thousand trials went wrong when the take-over was not atomic.
    constexpr int kTrials = 600;
    constexpr int kRacers = 3;
    const pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    int doubleWins = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        WriteLock(PidText(gone));
        int start[2], results[2], end[2];
        ASSERT_EQ(pipe(start), 0);
        ASSERT_EQ(pipe(results), 0);
        ASSERT_EQ(pipe(end), 0);
        pid_t racers[kRacers];
        for (int i = 0; i < kRacers; ++i) {
            const auto lag = std::chrono::microseconds(i * (trial % 40));
            pid_t& racer = racers[i];
            racer = fork();
            ASSERT_GE(racer, 0);
            if (racer == 0) {
                close(start[1]);
                close(end[1]);
                char go;
                if (read(start[0], &go, 1) != 0) // the test closes it: all start together
                    _exit(1);
                for (const auto until = std::chrono::steady_clock::now() + lag;
                     std::chrono::steady_clock::now() < until;) {
                }
                posix::PortLock lock;
                const char won = lock.Acquire(device.SlavePath()) == ERROR_SUCCESS ? 'W' : 'L';
                if (write(results[1], &won, 1) != 1)
                    _exit(1);
                if (read(end[0], &go, 1) != 0)
                    _exit(1);
                _exit(0);
            }
        }
        close(start[0]);
        close(results[1]);
        close(end[0]);
        close(start[1]);
        int winners = 0;
        for (int i = 0; i < kRacers; ++i) {
            char result = 0;
            ASSERT_EQ(read(results[0], &result, 1), 1);
            winners += result == 'W';
        }
        const std::string holder = LockText();
        close(end[1]);
        close(results[0]);
        bool winnerHolds = false;
        for (const pid_t racer : racers) {
            waitpid(racer, nullptr, 0);
            winnerHolds = winnerHolds || holder == PidText(racer);
        }
        EXPECT_GE(winners, 1) << "trial " << trial;
        EXPECT_TRUE(winnerHolds) << "trial " << trial;
        doubleWins += winners > 1;
    }
    EXPECT_EQ(doubleWins, 0) << "of " << kTrials << " trials";
}

// As another user, in a lock folder anyone may write in (sticky, as /run/lock is), where that user
// left a file of the name this process would have used for its own lock before linking it.
[[noreturn]] void AcquireBesideAPlantedFile(const std::string& device, const std::string& folder) {
    const std::string planted = folder + "/LTMP." + std::to_string(getpid());
    std::ofstream(planted) << "planted";
    if (chown(planted.c_str(), 1, 1) != 0 || setresgid(65534, 65534, 65534) != 0 ||
        setresuid(65534, 65534, 65534) != 0)
        _exit(2);
    posix::PortLock lock;
    const DWORD error = lock.Acquire(device);
    std::ifstream file(lock.Path());
    const std::string text(std::istreambuf_iterator<char>(file), {});
    char own[16];
    std::snprintf(own, sizeof own, "%10d\n", static_cast<int>(getpid()));
    _exit(error != ERROR_SUCCESS ? 1 : text != own ? 3 : 0);
}

TEST_F(LockFile, AFilePlantedWhereOursWouldBeMadeDoesNotHoldThePort) {
    if (geteuid() != 0)
        GTEST_SKIP() << "planting a file as another user needs root";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    namespace fs = std::filesystem;
    fs::permissions(folder.Path(), fs::perms::owner_all | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read |
                                       fs::perms::others_exec);
    fs::permissions(folder.LockFolder(), fs::perms::all | fs::perms::sticky_bit);
    EXPECT_EXIT(AcquireBesideAPlantedFile(device.SlavePath(), folder.LockFolder()),
                ::testing::ExitedWithCode(0), "");
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                      std::filesystem::directory_iterator{}));
}

TEST_F(LockFile, APortWhoseThreadCannotStartLetsGoOfEverything) {
    // A default stack no mapping can hold makes the next thread fail to start.
    pthread_attr_t normal, huge;
    ASSERT_EQ(pthread_getattr_default_np(&normal), 0);
    ASSERT_EQ(pthread_attr_init(&huge), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&huge, std::size_t{1} << 46), 0);
    const std::size_t descriptors = OpenDescriptors();
    ASSERT_EQ(pthread_setattr_default_np(&huge), 0);
    HANDLE port = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_SUCCESS;
    try {
        port = OpenCom(7);
        error = GetLastError();
    } catch (...) {
        ADD_FAILURE() << "CreateFileA raised";
    }
    ASSERT_EQ(pthread_setattr_default_np(&normal), 0);
    pthread_attr_destroy(&huge);
    pthread_attr_destroy(&normal);

    EXPECT_EQ(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(error, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(OpenDescriptors(), descriptors); // neither the tty nor the eventfd stayed open
    EXPECT_FALSE(LockExists());
    port = OpenCom(7); // and the device is not held
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(port);
}

TEST_F(LockFile, APortDroppedWithoutCloseStillLetsGo) {
    const std::size_t descriptors = OpenDescriptors();
    {
        const HANDLE port = OpenCom(7);
        ASSERT_NE(port, INVALID_HANDLE_VALUE);
        // The table's reference goes without Close, as a port's last reference can.
        auto object = posix::RemoveHandle(port);
        ASSERT_NE(object, nullptr);
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_FALSE(LockExists());
}

std::atomic<std::size_t> fakeUnsent{0};
std::size_t FakeUnsent(int) {
    return fakeUnsent;
}

// A UART sends what the kernel took at the line's pace, and a device can hold it back (CTS,
// XOFF) with bytes still queued; a pty passes everything on at once, so the queue is faked here.
TEST_F(OpenPort, AWriteEndsWhenTheDeviceHasSentItsBytesNotWhenTheKernelTookThem) {
    struct Source {
        Source() { posix::SetUnsentOutputSource(FakeUnsent); }
        ~Source() { posix::SetUnsentOutputSource(nullptr); }
    } source;
    fakeUnsent = 3;
    COMMTIMEOUTS timeouts{0, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    DWORD written = 99;
    ASSERT_FALSE(WriteFile(port, "abc", 3, &written, &overlapped));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_TIMEOUT);
    fakeUnsent = 0;
    EXPECT_TRUE(GetOverlappedResult(port, &overlapped, &written, TRUE));
    EXPECT_EQ(written, 3u);

    // Held back beyond the write's time: it fails with the count that was sent.
    fakeUnsent = 2;
    timeouts.WriteTotalTimeoutConstant = 50;
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    ASSERT_FALSE(WriteFile(port, "abc", 3, &written, &overlapped));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(GetOverlappedResult(port, &overlapped, &written, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_SEM_TIMEOUT);
    EXPECT_EQ(written, 1u);
}

// A UART's close waits for what the device has not taken yet (30 s by default); the port discards
// it instead. A pty shows the discarding: what its master has not read yet goes too.
TEST_F(OpenPort, CloseDiscardsOutputTheDeviceHasNotTaken) {
    COMMTIMEOUTS timeouts{0, 0, 0, 0, 200};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    const ByteString block(64 * 1024, 'x');
    DWORD written = 0;
    if (!WriteFile(port, block.data(), static_cast<DWORD>(block.size()), &written, &overlapped)) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        GetOverlappedResult(port, &overlapped, &written, TRUE);
    }
    ASSERT_GT(written, 0u);
    ASSERT_TRUE(CloseHandle(port));
    port = INVALID_HANDLE_VALUE;
    EXPECT_LT(device.ReadAvailable().size(), std::size_t{written});
}

TEST_F(OpenPort, LostBytesAreFlaggedAndCountedWhereTheDriverCounts) {
    SERIALPERF_STATS stats{};
    DWORD size = 0;
    // A pseudo-terminal keeps no counts.
    EXPECT_FALSE(DeviceIoControl(port, IOCTL_SERIAL_GET_STATS, nullptr, 0, &stats, sizeof stats,
                                 &size, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    ASSERT_TRUE(CloseHandle(port));

    fakeOverruns = 7;
    fakeBufferOverruns = 100; // as they stood before the open: not this port's
    fakeFrameErrors = 0;
    posix::SetLineErrorCountsSource(FakeCounts);
    port = OpenCom(7);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    fakeBufferOverruns += 1234;
    fakeOverruns += 2;
    fakeFrameErrors += 1;
    DWORD errors = 0;
    EXPECT_TRUE(ClearCommError(port, &errors, nullptr));
    EXPECT_EQ(errors, DWORD{CE_RXOVER | CE_OVERRUN | CE_FRAME});
    EXPECT_TRUE(ClearCommError(port, &errors, nullptr));
    EXPECT_EQ(errors, 0u);
    ASSERT_TRUE(DeviceIoControl(port, IOCTL_SERIAL_GET_STATS, nullptr, 0, &stats, sizeof stats,
                                &size, nullptr));
    EXPECT_EQ(size, sizeof stats);
    EXPECT_EQ(stats.BufferOverrunErrorCount, 1234u);
    EXPECT_EQ(stats.SerialOverrunErrorCount, 2u);
    EXPECT_EQ(stats.FrameErrorCount, 1u);
    EXPECT_FALSE(DeviceIoControl(port, 42, nullptr, 0, &stats, sizeof stats, &size, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    posix::SetLineErrorCountsSource(nullptr);
}

} // namespace
