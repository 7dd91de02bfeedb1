#include "serial/untRxThread.h"

#include "payload/hexcodec.h"
#include "ptydevice.h"
#include "recordingpanes.h"
#include "serial/messages.h"
#include "serial/seriallink.h"
#include "serial/serialstate.h"

#include <gtest/gtest.h>

#include <algorithm>
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

    // The bytes of every "-> " line so far, joined.
    ByteString Received() const {
        ByteString bytes;
        for (const ByteString& line : panes.LogRec()) {
            EXPECT_EQ(line.rfind(kReceivedArrow, 0), 0u) << line;
            bytes += HexStrToData(line.substr(kReceivedArrow.size() + 1));
        }
        return bytes;
    }

    // Closes the link and waits for the worker to end and let go.
    void CloseAndAwaitEnd() {
        const std::size_t ends = Count(Pane::Log, kRxEnded);
        CloseSerialLink();
        ASSERT_TRUE(ServeUntil([&] { return Count(Pane::Log, kRxEnded) > ends; }));
        ASSERT_TRUE(ServeUntil([] { return !RxThreadRegistered(); }));
    }

    PortsFolder folder;
    PtyDevice device;
    RecordingPanes panes;
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

TEST_F(ReceiveWorker, TheDeviceHangingUpNeitherCrashesNorHangsIt) {
    device.Write("before");
    ASSERT_TRUE(ServeUntil([&] { return Received() == "before"; }));
    device.CloseMaster();
    CloseAndAwaitEnd();
    EXPECT_EQ(panes.All().back().text, kRxEnded);
}

TEST_F(ReceiveWorker, NothingOfAMegabyteIsLost) {
    std::mt19937 random(20261207);
    ByteString sent(1 << 20, '\0');
    for (char& byte : sent)
        byte = static_cast<char>(random());
    std::thread writer([&] { device.Write(sent); });
    const bool all = ServeUntil([&] { return Received().size() >= sent.size(); });
    writer.join();
    ASSERT_TRUE(all);
    EXPECT_TRUE(Received() == sent);
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

} // namespace
