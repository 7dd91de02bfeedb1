// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/comport.h"

#include "core/codepage.h"
#include "platform/posix/handletable.h"
#include "portfixture.h"
#include "serial/messages.h"
#include "serial/serialstate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <termios.h>

using namespace corvane;
using namespace corvane::serial;
using namespace corvane::testing;

namespace {

TEST(SerialMessages, AreTheWindows1251BytesOfTheRussianTexts) {
    const struct {
        const ByteString& bytes;
        const char* utf8;
    } cases[] = {
        {kSendDataError, "Ошибка при SendData"},
        {kBytesSent, "Передано байт: "},
        {kBytesOf, " из "},
        {kReadSettingsError, "Ошибка чтения параметров последовательного порта "},
        {kWriteSettingsError, "Ошибка при установке параметров последовательного порта "},
        {kPurgeError, "Ошибка очистки буфера последовательного порта "},
        {kMaskError, "Ошибка настройки последовательного порта "},
        {kOpenError, "Ошибка открытия COM-порта: "},
        {kRxStarted, "Начало работы потока приёма"},
        {kRxEnded, "Завершение работы потока приёма"},
        {kRcvDataError, "Ошибка RcvData. Остановка чтения СОМ-порта"},
        {kRx1Error, "Ошибка RX1"},
        {kRx2Error, "Ошибка RX2"},
        {kBytesLost, "Потеряно байт при приёме: "},
        {kBytesLostUncounted, "Потеряны байты при приёме"},
        {kDeviceGone, "Связь с устройством потеряна"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FromCodePage(c.bytes), QString::fromUtf8(c.utf8)) << c.utf8;
    // The open error's COM is Latin, the receive error's is Cyrillic (С, О, М).
    EXPECT_NE(kOpenError.find("COM-"), ByteString::npos);
    EXPECT_NE(kRcvDataError.find("\xD1\xCE\xCC-"), ByteString::npos);
}

class ComPort : public PortFixture {};

TEST_F(ComPort, OpensRawAt8N2WithTheOperatorsBaudRate) {
    for (const DWORD baud : {19200u, 14400u, 115200u, 3600u}) {
        Open(7, baud);
        ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(panes.Log().empty());
        const SlaveLine line = ReadSlaveLine(device.Master());
        EXPECT_EQ(line.ospeed, baud);
        EXPECT_EQ(line.cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), unsigned{CS8 | CSTOPB});
        EXPECT_EQ(line.cflag & (CREAD | CLOCAL), unsigned{CREAD | CLOCAL});
        EXPECT_EQ(line.lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(line.iflag & (IXON | IXOFF | ICRNL), 0u);
        EXPECT_EQ(line.oflag & OPOST, 0u);

        COMMTIMEOUTS timeouts{};
        ASSERT_TRUE(GetCommTimeouts(hComPort, &timeouts));
        EXPECT_EQ(timeouts.ReadIntervalTimeout, 1u);
        EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 1u);
        EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 1u);
        EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 10u);
        EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 100u);
        EXPECT_EQ(WaitForSingleObject(WriteOverlapped.hEvent, 0), WAIT_TIMEOUT);

        // The character-received event is the one armed.
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD events = 0;
        device.Write("x");
        if (!WaitCommEvent(hComPort, &events, &overlapped))
            WaitForSingleObject(overlapped.hEvent, INFINITE);
        EXPECT_EQ(events, EV_RXCHAR);
        CloseHandle(overlapped.hEvent);

        CloseHandle(hComPort);
        CloseHandle(WriteOverlapped.hEvent);
    }
}

TEST_F(ComPort, AMissingOrBusyPortIsInvalidHandleValue) {
    folder.Link(8, "/dev/nonexistent-corvane-device");
    Open(8, 19200);
    EXPECT_EQ(hComPort, INVALID_HANDLE_VALUE);
    ASSERT_EQ(panes.Log().size(), 2u);
    EXPECT_EQ(panes.Log()[0], kInvalidHandle);

    const HANDLE holder = CreateFileA("\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    panes.Clear();
    Open(7, 19200);
    EXPECT_EQ(hComPort, INVALID_HANDLE_VALUE);
    ASSERT_EQ(panes.Log().size(), 2u);
    EXPECT_EQ(panes.Log()[0], kInvalidHandle);
    EXPECT_EQ(WriteOverlapped.hEvent, nullptr);
    CloseHandle(holder);
}

TEST_F(ComPort, FailedOpensLeaveNoHandleBehind) {
    folder.Link(9, "/dev/nonexistent-corvane-device");
    const std::size_t before = posix::OpenHandleCount();
    for (int i = 0; i < 5; ++i)
        Open(9, 19200);
    EXPECT_EQ(posix::OpenHandleCount(), before);
    const auto log = panes.Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), kInvalidHandle), 5);
}

TEST_F(ComPort, ARefusedSettingIsLoggedWithThePathAndThePortStaysOpen) {
    folder.Link(255, device.SlavePath());
    Open(255, 0); // no driver takes 0 baud
    ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ComPortPath(255), "\\\\.\\COM255");
    EXPECT_EQ(panes.Log(), std::vector<ByteString>{kWriteSettingsError + "\\\\.\\COM255"});
}

TEST_F(ComPort, AFailureDuringTheOpenIsLoggedWithTheErrorAndItsText) {
    panes.FailNext(Pane::Log); // the refused-setting line raises
    Open(7, 0);
    EXPECT_NE(hComPort, INVALID_HANDLE_VALUE);
    EXPECT_NE(WriteOverlapped.hEvent, nullptr);
    EXPECT_EQ(panes.Log(), std::vector<ByteString>{kOpenError + "87 - The parameter is incorrect"});
}

TEST(SystemErrorText, DropsTrailingBlanksLineBreaksAndFullStops) {
    EXPECT_EQ(SystemErrorText(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified");
    EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED), "Access is denied");
    EXPECT_EQ(SystemErrorText(4242), "");
}

TEST_F(ComPort, SendDataWritesThePayloadAndLogsItsHexView) {
    Open(7, 19200);
    ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
    const ByteString payload("\x01\x03\x00\x00", 4);
    SendData(panes, payload);
    SendData(panes, "AB\r\n");
    SendData(panes, ""); // nothing at all
    EXPECT_EQ(device.Read(8), payload + "AB\r\n");
    EXPECT_EQ(panes.Log(), (std::vector<ByteString>{"<-  01 03 00 00", "<-  41 42 0D 0A"}));
}

TEST_F(ComPort, AFailedWriteIsReportedAfterItsLine) {
    Open(7, 19200);
    ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
    CloseHandle(hComPort);
    std::optional<bool> sent;
    SendData(panes, "\x05", [&](bool all) { sent = all; });
    EXPECT_EQ(panes.Log(), (std::vector<ByteString>{"<-  05", kSendDataError}));
    EXPECT_EQ(sent, std::optional<bool>(false)); // told at once: nothing was left pending
}

TEST_F(ComPort, AHeldWriteIsAwaitedBesideTheCallerAndItsEndReportedAfterItsLine) {
    Open(7, 19200);
    ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
    device.StopTakingOutput(); // the write can only time out
    std::optional<bool> sent;
    SendData(panes, "\x06", [&](bool all) { sent = all; });
    EXPECT_TRUE(SerialWritePending());
    EXPECT_FALSE(sent.has_value());
    EXPECT_EQ(panes.Log(), std::vector<ByteString>{"<-  06"});
    AwaitWriteEnd();
    EXPECT_EQ(sent, std::optional<bool>(false));
    EXPECT_EQ(panes.Log(), (std::vector<ByteString>{"<-  06", kSendDataError}));
}

TEST_F(ComPort, AWriteCutShortByItsTimeOutNamesTheCountTheDeviceRead) {
    Open(7, 19200);
    ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
    // Nobody reads the device while the write lasts: it takes what the pty holds, then the rest
    // can only time out (shortened here from 100 ms + 10 ms a byte).
    COMMTIMEOUTS timeouts{1, 1, 1, 0, 300};
    ASSERT_TRUE(SetCommTimeouts(hComPort, &timeouts));
    const ByteString payload(64 * 1024, 'x');
    SendData(panes, payload);
    AwaitWriteEnd();
    const auto log = panes.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1], kSendDataError);
    ASSERT_EQ(log[2].rfind(kBytesSent, 0), 0u) << log[2];
    const std::size_t counted = std::stoul(log[2].substr(kBytesSent.size()));
    EXPECT_EQ(log[2], kBytesSent + std::to_string(counted) + kBytesOf + "65536");
    ASSERT_GT(counted, 0u);
    ASSERT_LT(counted, payload.size());
    // What the device can read is that many bytes, and no more.
    EXPECT_EQ(device.Read(counted).size(), counted);
    EXPECT_EQ(device.ReadAvailable(), "");
}

// The link's counters: a line for each send, the bytes the device took, and a failure for each
// send the upper pane reports failed, a write cut short included.
TEST_F(ComPort, SendsCountTheirLinesTheBytesTheDeviceTookAndTheirFailures) {
    Open(7, 19200);
    ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
    SerialCounters().Reset(); // the link's open does it; only the port is opened here
    SendData(panes, ByteString("\x01\x03\x00\x00", 4));
    SendData(panes, ""); // no line, nothing sent
    EXPECT_EQ(device.Read(4), ByteString("\x01\x03\x00\x00", 4));
    COMMTIMEOUTS timeouts{1, 1, 1, 0, 300};
    ASSERT_TRUE(SetCommTimeouts(hComPort, &timeouts));
    SendData(panes, ByteString(64 * 1024, 'x'));
    AwaitWriteEnd();
    const auto log = panes.Log();
    ASSERT_EQ(log.size(), 4u);
    ASSERT_EQ(log[3].rfind(kBytesSent, 0), 0u) << log[3];
    const std::size_t taken = std::stoul(log[3].substr(kBytesSent.size()));
    CloseHandle(hComPort);
    SendData(panes, "\x05");

    const LinkCounts counts = SerialCounters().Read();
    EXPECT_EQ(counts.sentLines, 3u);
    EXPECT_EQ(counts.sentBytes, 4 + taken);
    EXPECT_EQ(counts.failedSends, 2u);
    EXPECT_EQ(counts.receivedBytes + counts.receivedLines + counts.lost, 0u);
}

TEST_F(ComPort, TheCloseEndsAHeldWriteAtOnceWithoutALine) {
    Open(7, 19200);
    ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
    device.StopTakingOutput();
    SendData(panes, ByteString(2000, 'x')); // 20 s before its time-out
    ASSERT_TRUE(SerialWritePending());
    CloseHandle(hComPort);
    EndSerialWrite();
    EXPECT_FALSE(SerialWritePending());
    EXPECT_EQ(panes.Log().size(), 1u); // its "<- " line only

    // An open port's write is ended by EndSerialWrite alone, as the window's end does.
    Open(7, 19200);
    ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
    SendData(panes, ByteString(2000, 'y'));
    ASSERT_TRUE(SerialWritePending());
    EndSerialWrite();
    EXPECT_FALSE(SerialWritePending());
    EXPECT_EQ(panes.Log().size(), 2u);
}

} // namespace
