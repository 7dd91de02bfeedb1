// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/replug.h"

#include "configfolder.h"
#include "otherprogram.h"
#include "payload/hexcodec.h"
#include "ptydevice.h"
#include "recordingpanes.h"
#include "serial/comport.h"
#include "serial/devicemessages.h"
#include "serial/messages.h"
#include "serial/seriallink.h"
#include "serial/serialstate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

using namespace corvane;
using namespace corvane::serial;
using namespace corvane::testing;

namespace {

std::size_t Entries(const char* folder) {
    const std::filesystem::directory_iterator entries(folder);
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

// Serves hand-overs for a while: for lines that must not come, nothing can be awaited.
void ServeFor(std::chrono::milliseconds time) {
    const auto until = std::chrono::steady_clock::now() + time;
    ServeUntil([&] { return std::chrono::steady_clock::now() > until; });
}

// Whether this process is down to count threads within a minute. Measured between rounds of
// serving hand-overs, which has a thread of its own while it runs.
bool ThreadsDownTo(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (Entries("/proc/self/task") > count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        ServeFor(std::chrono::milliseconds(5));
    }
    return true;
}

class BackAfterReplug : public ::testing::Test {
protected:
    void SetUp() override {
        folder.Link(7, device->SlavePath());
        ASSERT_TRUE(OpenSerialLink(panes, 7, 57600));
        ASSERT_TRUE(ServeUntil([&] { return Count(kRxStarted) == 1; }));
    }
    void TearDown() override {
        CloseSerialLink();
        EXPECT_FALSE(ReplugWaiting());
        EXPECT_TRUE(ServeUntil([] { return !RxThreadRegistered(); }));
        SetReplugTiming({});
    }

    std::size_t Count(const ByteString& line) const {
        const auto lines = panes.Log();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }

    // Pulls the device and plugs another in behind the same link; true when the old one's loss
    // was seen.
    bool PullAndPlugAnother() {
        auto next = std::make_unique<PtyDevice>();
        folder.Link(7, next->SlavePath());
        const std::size_t lost = Count(kDeviceGone);
        device->CloseMaster();
        device = std::move(next);
        return ServeUntil([&] { return Count(kDeviceGone) > lost; });
    }
    bool AwaitBack(std::size_t times = 1) {
        return ServeUntil([&] { return Count(kDeviceBack + device->SlavePath()) == times; });
    }

    // The bytes of the "-> " lines so far, joined.
    ByteString Received() const {
        ByteString bytes;
        for (const ByteString& line : panes.LogRec())
            bytes += HexStrToData(line.substr(kReceivedArrow.size() + 1));
        return bytes;
    }

    ConfigFolder config;
    PortsFolder folder;
    std::unique_ptr<PtyDevice> device = std::make_unique<PtyDevice>();
    RecordingPanes panes;
};

TEST_F(BackAfterReplug, TheDeviceBackIsOpenedWithTheSameSettingsAndNothingItSendsIsLost) {
    device->Write("before");
    ASSERT_TRUE(ServeUntil([&] { return Received() == "before"; }));
    // Left unconfigured, as a device just plugged in is: the reopen makes it raw at the old rate.
    auto next = std::make_unique<PtyDevice>(PtyDevice::Line::AsTheKernelLeavesIt);
    // It speaks as soon as it is there, before the port has it open.
    next->Write("hello\n");
    folder.Link(7, next->SlavePath());
    device->CloseMaster();
    device = std::move(next);
    ASSERT_TRUE(AwaitBack());
    EXPECT_EQ(ReadSlaveLine(device->Master()).ospeed, 57600u);
    // The watcher ends once its hand-over has returned, a moment after the line.
    EXPECT_TRUE(ServeUntil([] { return !ReplugWaiting(); }));

    ByteString sent;
    for (int i = 0; i < 4096; ++i)
        sent += static_cast<char>(i * 7 + i / 256);
    device->Write(sent);
    ASSERT_TRUE(ServeUntil([&] { return Received().size() >= 12 + sent.size(); }));
    EXPECT_EQ(Received(), "before" + ByteString("hello\n") + sent);

    // The kernel echoed the banner back while the line was still in line mode, before the port
    // made it raw; nothing else comes back but what is sent now.
    EXPECT_EQ(device->ReadAvailable(), "hello\r\n");
    SendData(panes, "ping");
    EXPECT_EQ(device->Read(4), "ping");
    // What the operator saw, in order: the loss, the old worker's end, the device back and the
    // new worker's start.
    const auto log = panes.Log();
    const auto at = [&](const ByteString& line) {
        return std::find(log.begin(), log.end(), line) - log.begin();
    };
    EXPECT_LT(at(kDeviceGone), at(kRxEnded));
    EXPECT_LT(at(kRxEnded), at(kDeviceBack + device->SlavePath()));
    EXPECT_EQ(Count(kRxStarted), 2u);
    EXPECT_EQ(Count(kInvalidHandle), 0u);
}

TEST_F(BackAfterReplug, SendsWhileTheDeviceIsAwayFailAsTheyDoForAHungUpPort) {
    ASSERT_TRUE(PullAndPlugAnother());
    panes.Clear();
    SendData(panes, "\x01");
    EXPECT_EQ(panes.Log(), (std::vector<ByteString>{"<-  01", kSendDataError}));
    ASSERT_TRUE(AwaitBack());
}

TEST_F(BackAfterReplug, ADeviceAnotherProgramHoldsIsLeftToIt) {
    auto next = std::make_unique<PtyDevice>();
    // First a holder that keeps to lock files: its lock names it, it need not have the device open.
    OtherProgram locker;
    locker.WriteLock(folder.LockFolder(), next->LockName());
    folder.Link(7, next->SlavePath());
    device->CloseMaster();
    device = std::move(next);
    ASSERT_TRUE(ServeUntil([&] { return Count(kDeviceGone) == 1; }));
    ServeFor(std::chrono::milliseconds(1500));
    EXPECT_EQ(Count(kDeviceBack + device->SlavePath()), 0u);
    EXPECT_TRUE(ReplugWaiting());

    // Then one that opens it plainly, as a flashing tool does.
    OtherProgram flasher(device->SlavePath());
    locker.End();
    ServeFor(std::chrono::milliseconds(1500));
    EXPECT_EQ(Count(kDeviceBack + device->SlavePath()), 0u);
    EXPECT_TRUE(ReplugWaiting());

    // Once it is done with the device, the port takes it back.
    flasher.End();
    ASSERT_TRUE(AwaitBack());
}

TEST_F(BackAfterReplug, TheProgramAtAPtysFarEndIsTheDeviceNotAHolder) {
    device->CloseMaster();
    ASSERT_TRUE(ServeUntil([&] { return Count(kDeviceGone) == 1; }));
    // Like socat or an emulator: it has both ends of the new pty open.
    device = std::make_unique<PtyDevice>();
    OtherProgram farEnd("", OtherProgram::Descriptors::This);
    folder.Link(7, device->SlavePath());
    ASSERT_TRUE(AwaitBack());
}

TEST_F(BackAfterReplug, CloseDuringTheWaitEndsItAtOnceAndLeavesNothingRunning) {
    const std::size_t threads = Entries("/proc/self/task"); // the worker and the port's I/O thread
    ASSERT_TRUE(PullAndPlugAnother());
    ASSERT_TRUE(ServeUntil([] { return ReplugWaiting() && !RxThreadRegistered(); }));
    // Nothing is there to open: the link leads to a pty that is gone.
    folder.Link(7, "/dev/pts/corvane-nothing");
    CloseSerialLink();
    EXPECT_FALSE(ReplugWaiting());
    EXPECT_TRUE(ThreadsDownTo(threads - 2));
    // A device that comes now stays closed.
    folder.Link(7, device->SlavePath());
    ServeFor(std::chrono::milliseconds(800));
    EXPECT_EQ(Count(kDeviceBack + device->SlavePath()), 0u);
    EXPECT_FALSE(RxThreadRegistered());
}

TEST_F(BackAfterReplug, AThousandReplugsLeaveDescriptorsThreadsAndMemoryFlat) {
    SetReplugTiming({std::chrono::milliseconds(0), std::chrono::milliseconds(1)});
    const auto cycle = [&] {
        ASSERT_TRUE(PullAndPlugAnother());
        ASSERT_TRUE(AwaitBack());
        ASSERT_TRUE(ServeUntil([&] { return Count(kRxStarted) == 2 && Count(kRxEnded) == 1; }));
        // Only the new worker, the new port's I/O thread and the watcher that has just ended.
        panes.Clear();
        panes.AddToLog(kRxStarted);
    };
    for (int i = 0; i < 50; ++i)
        cycle();
    const std::size_t threads = Entries("/proc/self/task");
    ASSERT_TRUE(ThreadsDownTo(threads));
    const std::size_t descriptors = Entries("/proc/self/fd");
    const std::size_t heap = mallinfo2().uordblks;
    for (int i = 0; i < 1000; ++i) {
        cycle();
        if (HasFatalFailure())
            return;
    }
    EXPECT_TRUE(ThreadsDownTo(threads));
    EXPECT_EQ(Entries("/proc/self/fd"), descriptors);
    // A leak of one small allocation a cycle would show as 32 KB or more.
    EXPECT_LT(mallinfo2().uordblks, heap + 16 * 1024);
}

} // namespace
