// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/untRxThread.h"

#include "configfolder.h"
#include "fakeuartcounts.h"
#include "payload/hexcodec.h"
#include "platform/posix/ttydevice.h"
#include "ptydevice.h"
#include "recordingpanes.h"
#include "serial/bytecapture.h"
#include "serial/comport.h"
#include "serial/messages.h"
#include "serial/replug.h"
#include "serial/seriallink.h"
#include "serial/serialstate.h"

#include "core/walltime.h"
#include "filesizelimit.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <random>

using namespace corvane;
using namespace corvane::serial;
using namespace corvane::testing;

namespace {

class ReceiveWorker : public ::testing::Test {
protected:
    void SetUp() override {
        folder.Link(7, device.SlavePath());
        ASSERT_TRUE(OpenSerialLink(panes, 7, 115200));
    }
    void TearDown() override {
        if (RxThreadRegistered()) {
            CloseSerialLink();
            EXPECT_TRUE(ServeUntil([] { return !RxThreadRegistered(); }));
        }
    }

    std::size_t Count(Pane pane, const ByteString& text) const {
        const auto lines = panes.Of(pane);
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), text));
    }
    bool Has(Pane pane, const ByteString& text) const { return Count(pane, text) > 0; }

    // The bytes of every "-> " line so far, joined; each line is read once.
    const ByteString& Received() {
        const auto& all = panes.All();
        for (; seen_ < all.size(); ++seen_) {
            const Line& line = all[seen_];
            if (line.pane != Pane::LogRec)
                continue;
            EXPECT_EQ(line.text.rfind(kReceivedArrow, 0), 0u) << line.text;
            received_ += HexStrToData(line.text.substr(kReceivedArrow.size() + 1));
        }
        return received_;
    }

    // Closes the link and waits for the worker to end and let go.
    void CloseAndAwaitEnd() {
        const std::size_t ends = Count(Pane::Log, kRxEnded);
        CloseSerialLink();
        ASSERT_TRUE(ServeUntil([&] { return Count(Pane::Log, kRxEnded) > ends; }));
        ASSERT_TRUE(ServeUntil([] { return !RxThreadRegistered(); }));
    }

    ConfigFolder config; // the user's settings decide nothing here
    PortsFolder folder;
    PtyDevice device;
    RecordingPanes panes;

private:
    std::size_t seen_ = 0;
    ByteString received_;
};

TEST_F(ReceiveWorker, StartsWithItsLineAndShowsABurstAsOneHexLine) {
    ASSERT_TRUE(ServeUntil([&] { return Has(Pane::Log, kRxStarted); }));
    device.Write(ByteString("\x01\x03\x02\x00\x2A", 5));
    ASSERT_TRUE(ServeUntil([&] { return Received().size() == 5; }));
    // One write on the device side reaches the port's queue in one piece, before the worker
    // wakes and counts it.
    EXPECT_EQ(panes.LogRec(), std::vector<ByteString>{"->  01 03 02 00 2A"});
    EXPECT_EQ(panes.Log(), std::vector<ByteString>{kRxStarted});
}

TEST_F(ReceiveWorker, CloseEndsTheWorkerAfterItsLastDataLine) {
    device.Write("last words");
    CloseAndAwaitEnd();
    const auto& all = panes.All();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().text, kRxEnded);
    EXPECT_EQ(Count(Pane::Log, kRxStarted), 1u);
    EXPECT_EQ(Count(Pane::Log, kRxEnded), 1u);
    // Whatever of the bytes was read before the port closed stands before the end line.
    EXPECT_EQ(ByteString("last words").rfind(Received(), 0), 0u);
}

TEST_F(ReceiveWorker, AQuickCloseAndOpenLeavesOneWorkerOnThePort) {
    ASSERT_TRUE(ServeUntil([&] { return Has(Pane::Log, kRxStarted); }));
    CloseSerialLink();
    ASSERT_TRUE(OpenSerialLink(panes, 7, 115200));
    ASSERT_TRUE(ServeUntil([&] { return Count(Pane::Log, kRxStarted) == 2; }));
    ASSERT_TRUE(ServeUntil([&] { return Count(Pane::Log, kRxEnded) == 1; }));
    // The old worker has let go; the new one is registered and alone on the port: every byte
    // shows exactly once.
    EXPECT_TRUE(RxThreadRegistered());
    const ByteString burst = "0123456789";
    device.Write(burst);
    ASSERT_TRUE(ServeUntil([&] { return Received().size() >= burst.size(); }));
    EXPECT_EQ(Received(), burst);
    CloseAndAwaitEnd();
    EXPECT_EQ(Count(Pane::Log, kRxEnded), 2u);
}

TEST(ReceiveWorkerNotReconnecting, TheDeviceHangingUpIsSaidOnceAndThePortStaysOpenUntilClose) {
    ConfigFolder config;
    config.WriteSettings("[General]\nreconnect=false\n");
    PortsFolder folder;
    PtyDevice device;
    RecordingPanes panes;
    folder.Link(7, device.SlavePath());
    ASSERT_TRUE(OpenSerialLink(panes, 7, 115200));
    const auto received = [&] {
        ByteString bytes;
        for (const ByteString& line : panes.LogRec())
            bytes += HexStrToData(line.substr(kReceivedArrow.size() + 1));
        return bytes;
    };
    const auto has = [&](const ByteString& text) {
        const auto lines = panes.Log();
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    };
    device.Write("before");
    ASSERT_TRUE(ServeUntil([&] { return received() == "before"; }));
    device.CloseMaster();
    ASSERT_TRUE(ServeUntil([&] { return has(kDeviceGone); }));
    // A second line would come within a few of the worker's 100 ms rounds; nothing can be awaited
    // for a line that must not come.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    ServeUntil([&] { return std::chrono::steady_clock::now() > until; });
    EXPECT_TRUE(ClearCommError(hComPort, nullptr, nullptr)); // still open
    EXPECT_TRUE(RxThreadRegistered());
    EXPECT_FALSE(ReplugWaiting());
    SendData(panes, "\x01");
    CloseSerialLink();
    ASSERT_TRUE(ServeUntil([&] { return has(kRxEnded) && !RxThreadRegistered(); }));
    EXPECT_EQ(panes.Log(), (std::vector<ByteString>{kRxStarted, kDeviceGone, "<-  01",
                                                    kSendDataError, kRxEnded}));
}

ByteString RandomBytes(std::size_t size) {
    std::mt19937 random(20261207);
    ByteString bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

TEST_F(ReceiveWorker, NothingOfAMegabyteIsLost) {
    const ByteString sent = RandomBytes(1 << 20);
    std::thread writer([&] { device.Write(sent); });
    const bool all = ServeUntil([&] { return Received().size() >= sent.size(); });
    writer.join();
    ASSERT_TRUE(all);
    EXPECT_TRUE(Received() == sent);
}

TEST_F(ReceiveWorker, EveryByteReadGoesToTheCaptureExactlyAndDataLinesCarryTheirReadTime) {
    QTemporaryDir folder;
    const std::string path = folder.filePath("received.bin").toStdString();
    ByteCapture& capture = ReceivedBytesCapture();
    ASSERT_FALSE(capture.Start(path, [](const FileError&) { ADD_FAILURE(); }).has_value());
    const std::int64_t before = WallClockNow();
    const ByteString sent = RandomBytes(1 << 20);
    std::thread writer([&] { device.Write(sent); });
    const bool all = ServeUntil([&] { return Received().size() >= sent.size(); });
    writer.join();
    const std::int64_t after = WallClockNow();
    capture.Stop();
    ASSERT_TRUE(all);
    std::ifstream file(path, std::ios::binary);
    const ByteString captured{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(captured.size(), sent.size());
    EXPECT_TRUE(captured == sent);

    // Each data line's time lies between the first byte sent and the last line shown, in order.
    std::int64_t previous = before;
    for (const Line& line : panes.All()) {
        if (line.pane != Pane::LogRec)
            continue;
        EXPECT_GE(line.time, previous);
        EXPECT_LE(line.time, after);
        previous = line.time;
    }
}

TEST_F(ReceiveWorker, ACaptureThatCannotWriteStopsAndReportsOnTheUiThread) {
    QTemporaryDir folder;
    const std::string path = folder.filePath("received.bin").toStdString();
    std::vector<FileError> errors;
    ByteCapture& capture = ReceivedBytesCapture();
    ASSERT_FALSE(capture
                     .Start(path,
                            [&](const FileError& error) {
                                EXPECT_TRUE(IsUiThread());
                                errors.push_back(error);
                            })
                     .has_value());
    {
        const FileSizeLimit limit(1000);
        device.Write(RandomBytes(5000));
        ASSERT_TRUE(ServeUntil([&] { return !errors.empty(); }));
    }
    EXPECT_FALSE(capture.Capturing());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].file, path);
    EXPECT_EQ(errors[0].reason, "File too large");
    // The link goes on: later bytes are shown.
    device.Write("after");
    EXPECT_TRUE(ServeUntil([&] { return Received().ends_with("after"); }));
    EXPECT_LE(QFileInfo(QString::fromStdString(path)).size(), 1000);
}

TEST_F(ReceiveWorker, AFailingLineStopsTheWorkerButLeavesThePortOpen) {
    ASSERT_TRUE(ServeUntil([&] { return Has(Pane::Log, kRxStarted); }));
    panes.FailNext(Pane::LogRec);
    device.Write("x");
    ASSERT_TRUE(ServeUntil([&] { return Has(Pane::Log, kRxEnded); }));
    EXPECT_EQ(panes.Log(), (std::vector<ByteString>{kRxStarted, kRcvDataError, kRxEnded}));
    ASSERT_TRUE(ServeUntil([] { return !RxThreadRegistered(); }));
    // The port itself is still open and writable.
    DCB dcb{};
    EXPECT_TRUE(GetCommState(hComPort, &dcb));
    CloseSerialLink();
}

TEST_F(ReceiveWorker, TwelveMebibytesAtFullSpeedAllShowInOrder) {
    // Three times the port's input queue, written as fast as the pty takes it: the device is held
    // back while the queue is full, and nothing is dropped. (How fast is the bench's question.)
    // The wait lasts as long as bytes keep coming, however loaded the machine.
    const ByteString sent = RandomBytes(12 << 20);
    std::thread writer([&] { device.Write(sent); });
    const bool all = ServeWhileAdvancing([&] { return Received().size(); },
                                         [&] { return Received().size() >= sent.size(); });
    writer.join();
    ASSERT_TRUE(all) << Received().size();
    EXPECT_TRUE(Received() == sent);
    EXPECT_EQ(panes.Log(), std::vector<ByteString>{kRxStarted});
}

// The link's counters from the open: the bytes of each read and the lines shown; they outlast
// the close, and the next open starts them again.
TEST_F(ReceiveWorker, CountsTheBytesAndLinesItShowsUntilTheNextOpen) {
    ASSERT_TRUE(ServeUntil([&] { return Has(Pane::Log, kRxStarted); }));
    device.Write(ByteString("\x01\x03\x02\x00\x2A", 5));
    ASSERT_TRUE(ServeUntil([&] { return Received().size() == 5; }));
    device.Write(ByteString(3000, 'z'));
    ASSERT_TRUE(ServeUntil([&] { return Received().size() == 3005; }));
    LinkCounts counts = SerialCounters().Read();
    EXPECT_EQ(counts.receivedBytes, 3005u);
    EXPECT_EQ(counts.receivedLines, panes.LogRec().size());
    EXPECT_GE(counts.receivedLines, 2u);
    EXPECT_EQ(counts.sentLines + counts.sentBytes + counts.failedSends + counts.lost, 0u);

    CloseAndAwaitEnd();
    EXPECT_EQ(SerialCounters().Read().receivedBytes, 3005u);
    ASSERT_TRUE(OpenSerialLink(panes, 7, 115200));
    counts = SerialCounters().Read();
    EXPECT_EQ(counts.receivedBytes + counts.receivedLines, 0u);
}

// A device fresh from the kernel, still in line mode, at a rate the driver refuses.
TEST(ReceiveFromALineModeDevice, EveryByteArrivesExactlyBothWaysAndNothingIsEchoed) {
    ConfigFolder config; // the user's settings decide nothing here
    PortsFolder folder;
    PtyDevice device(PtyDevice::Line::AsTheKernelLeavesIt);
    folder.Link(7, device.SlavePath());
    RecordingPanes panes;
    ASSERT_TRUE(OpenSerialLink(panes, 7, 0));
    device.Write(ByteString("\x61\x62\x0D\x03\x7A", 5));
    EXPECT_TRUE(ServeUntil([&] { return !panes.LogRec().empty(); }));
    SendData(panes, ByteString("\x41\x0A\x42", 3));
    EXPECT_EQ(device.Read(3), ByteString("\x41\x0A\x42", 3));
    EXPECT_EQ(device.ReadAvailable(), ""); // no echo, no CR added
    CloseSerialLink();
    EXPECT_TRUE(ServeUntil([] { return !RxThreadRegistered(); }));
    EXPECT_EQ(panes.LogRec(), std::vector<ByteString>{"->  61 62 0D 03 7A"});
    EXPECT_EQ(panes.Log(), (std::vector<ByteString>{kWriteSettingsError + "\\\\.\\COM7", kRxStarted,
                                                    "<-  41 0A 42", kRxEnded}));
}

class ReceiveWorkerOnAUart : public ReceiveWorker {
protected:
    void SetUp() override {
        fakeOverruns = fakeBufferOverruns = fakeFrameErrors = 0;
        posix::SetLineErrorCountsSource(FakeCounts);
        ReceiveWorker::SetUp();
    }
    void TearDown() override {
        ReceiveWorker::TearDown();
        posix::SetLineErrorCountsSource(nullptr);
    }
    // The driver counts, then the device sends: the worker's next round finds both.
    void Send(const ByteString& bytes, int overruns, int bufferOverruns, int frameErrors) {
        fakeOverruns += overruns;
        fakeBufferOverruns += bufferOverruns;
        fakeFrameErrors += frameErrors;
        const std::size_t before = Received().size();
        device.Write(bytes);
        ASSERT_TRUE(ServeUntil([&] { return Received().size() == before + bytes.size(); }));
    }
};

TEST_F(ReceiveWorkerOnAUart, EachReadThatFoundBytesLostSaysHowMany) {
    ASSERT_TRUE(ServeUntil([&] { return Has(Pane::Log, kRxStarted); }));
    Send("a", 0, 1234, 0);
    Send("b", 0, 0, 0);
    Send("c", 3, 5, 0);
    Send("d", 0, 0, 2); // framing errors are line errors: not reported
    Send("e", 0, 2, 0);
    EXPECT_TRUE(Received() == "abcde");
    EXPECT_EQ(SerialCounters().Read().lost, 1234u + 8u + 2u);
    // Each overrun lost one byte or more: a count that holds overruns is a lower bound.
    EXPECT_EQ(panes.Log(),
              (std::vector<ByteString>{kRxStarted, kBytesLost + "1234",
                                       kBytesLost + "\xED\xE5 \xEC\xE5\xED\xFC\xF8\xE5 8",
                                       kBytesLost + "2"}));
}

} // namespace
