// SPDX-License-Identifier: GPL-3.0-or-later
// The receive worker splitting what a pseudo-terminal device sends into the device's frames.
#include "serial/untRxThread.h"

#include "configfolder.h"
#include "core/logarrows.h"
#include "payload/hexcodec.h"
#include "ptydevice.h"
#include "recordingpanes.h"
#include "serial/messages.h"
#include "serial/seriallink.h"
#include "serial/serialstate.h"
#include "serial/splitrule.h"

#include "core/walltime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace corvane;
using namespace corvane::serial;
using namespace corvane::testing;
using End = SplitRule::End;

namespace {

// Longer than any line waits here: a line that shows came from what ended it, not from the clock.
constexpr unsigned kNeverMs = 60'000;

class SplittingWorker : public ::testing::Test {
protected:
    void SetUp() override {
        config.WriteSettings("[General]\nreconnect=false\n");
        folder.Link(7, device.SlavePath());
    }
    void TearDown() override {
        if (RxThreadRegistered()) {
            CloseSerialLink();
            EXPECT_TRUE(ServeUntil([] { return !RxThreadRegistered(); }));
        }
        ReceivedSplitRule().Set({});
    }
    void Open(const SplitRule& rule) {
        ReceivedSplitRule().Set(rule);
        ASSERT_TRUE(OpenSerialLink(panes, 7, 115200));
        ASSERT_TRUE(ServeUntil([&] { return Has(kRxStarted); }));
    }
    // A change of the rule as the window makes it: the worker's wait is ended so it takes it.
    void Change(const SplitRule& rule) {
        ReceivedSplitRule().Set(rule);
        SetCommMask(hComPort, EV_RXCHAR);
    }
    bool Has(const ByteString& text) const {
        for (const Line& line : panes.All())
            if (line.text == text)
                return true;
        return false;
    }
    std::vector<ByteString> DataLines() const { return panes.LogRec(); }
    // Lets the worker read what was written (a few of its rounds), without a line to wait for.
    static void LetItRead() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        ServeUntil([&] { return std::chrono::steady_clock::now() > until; });
    }
    static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    // Where the text stands among all lines.
    std::ptrdiff_t Place(const ByteString& text) const {
        const auto& all = panes.All();
        return std::find_if(all.begin(), all.end(), [&](const Line& l) { return l.text == text; }) -
               all.begin();
    }

    ConfigFolder config;
    PortsFolder folder;
    PtyDevice device;
    RecordingPanes panes;
};

TEST_F(SplittingWorker, AnIdleGapEndsAFrameAndItsTimeIsItsFirstBytes) {
    constexpr int kGapMs = 400;
    Open({.end = End::IdleGap, .gapMs = kGapMs});
    // A request in three writes with pauses well within the gap, then after a longer pause the
    // answer.
    const std::int64_t first = WallClockNow();
    device.Write("\x01\x03");
    Pause(100);
    device.Write(ByteString("\x00\x00", 2));
    Pause(100);
    const std::int64_t third = WallClockNow();
    device.Write(ByteString("\x00\x0A", 2));
    ASSERT_TRUE(ServeUntil([&] { return DataLines().size() == 1; }));
    device.Write("\x01\x03\x14");
    ASSERT_TRUE(ServeUntil([&] { return DataLines().size() == 2; }));
    EXPECT_EQ(DataLines(), (std::vector<ByteString>{"->  01 03 00 00 00 0A", "->  01 03 14"}));
    const auto& all = panes.All();
    const auto request = std::find_if(all.begin(), all.end(),
                                      [](const Line& line) { return line.pane == Pane::LogRec; });
    EXPECT_GE(request->time, first);
    EXPECT_LT(request->time, third); // not the time of its last read
}

TEST_F(SplittingWorker, AfterAByteLinesFollowTheSentencesAcrossReads) {
    Open({.end = End::AfterByte, .endByte = '\n'});
    device.Write("\nboot: ok\r\nver");
    Pause(30);
    device.Write("sion 1.2\r\n");
    ASSERT_TRUE(ServeUntil([&] { return DataLines().size() == 3; }));
    EXPECT_EQ(DataLines(), (std::vector<ByteString>{"->  0A", "->  62 6F 6F 74 3A 20 6F 6B 0D 0A",
                                                    "->  76 65 72 73 69 6F 6E 20 31 2E 32 0D 0A"}));
    // Without its end byte a line is shown all the same, soon after its last byte.
    device.Write("prompt>");
    ASSERT_TRUE(ServeUntil([&] { return DataLines().size() == 4; }));
    EXPECT_EQ(DataLines().back(), "->  70 72 6F 6D 70 74 3E");
    // The link counts the bytes as they are read and a line for each frame shown.
    const LinkCounts counts = SerialCounters().Read();
    EXPECT_EQ(counts.receivedBytes, 31u);
    EXPECT_EQ(counts.receivedLines, 4u);
}

TEST_F(SplittingWorker, EveryNBytesCutsEachReadAtEachRead) {
    Open({.everyN = true, .n = 4});
    device.Write("0123456789");
    ASSERT_TRUE(ServeUntil([&] { return DataLines().size() >= 3; }));
    EXPECT_EQ(DataLines(),
              (std::vector<ByteString>{"->  30 31 32 33", "->  34 35 36 37", "->  38 39"}));
}

// Far more than the worker splits at once, in lines of every length: short ones, and ones long
// enough that their hex lines are not kept for the next hand-over.
TEST_F(SplittingWorker, EveryByteOfALongFeedIsInItsFramesExactly) {
    Open({.end = End::AfterByte, .endByte = '\n', .everyN = true, .n = 300});
    ByteString feed;
    for (std::size_t length = 0; feed.size() < 400'000; length = (length * 7 + 13) % 700)
        feed += ByteString(length, static_cast<char>('a' + length % 26)) + '\n';
    device.Write(feed);
    ByteString shown;
    ASSERT_TRUE(ServeUntil([&] {
        shown.clear();
        for (const ByteString& line : DataLines())
            shown += HexStrToData(line.substr(kReceivedArrow.size() + 1));
        return shown.size() >= feed.size();
    }));
    EXPECT_EQ(shown, feed);
    for (const ByteString& line : DataLines())
        ASSERT_LE(line.size(), kReceivedArrow.size() + 3 * 300) << line;
}

TEST_F(SplittingWorker, ALineLeftOpenIsShownAtCloseBeforeTheEndLine) {
    Open({.end = End::IdleGap, .gapMs = kNeverMs});
    device.Write("partial");
    LetItRead();
    EXPECT_TRUE(DataLines().empty());
    CloseSerialLink();
    ASSERT_TRUE(ServeUntil([&] { return Has(kRxEnded) && !RxThreadRegistered(); }));
    EXPECT_EQ(DataLines(), std::vector<ByteString>{"->  70 61 72 74 69 61 6C"});
    EXPECT_LT(Place("->  70 61 72 74 69 61 6C"), Place(kRxEnded));
}

TEST_F(SplittingWorker, ALineLeftOpenIsShownBeforeTheHangUp) {
    Open({.end = End::AfterByte, .endByte = '\n'});
    Change({.end = End::IdleGap, .gapMs = kNeverMs});
    device.Write("bye");
    LetItRead();
    device.CloseMaster();
    ASSERT_TRUE(ServeUntil([&] { return Has(kDeviceGone); }));
    EXPECT_EQ(DataLines(), std::vector<ByteString>{"->  62 79 65"});
    EXPECT_LT(Place("->  62 79 65"), Place(kDeviceGone));
}

TEST_F(SplittingWorker, AChangeWhileDataFlowsEndsTheOpenLineAtOnce) {
    Open({.end = End::IdleGap, .gapMs = kNeverMs});
    device.Write("abc");
    LetItRead();
    EXPECT_TRUE(DataLines().empty());
    Change({.end = End::AfterByte, .endByte = ';'});
    ASSERT_TRUE(ServeUntil([&] { return DataLines().size() == 1; }));
    device.Write("de;f");
    ASSERT_TRUE(ServeUntil([&] { return DataLines().size() == 3; }));
    EXPECT_EQ(DataLines(), (std::vector<ByteString>{"->  61 62 63", "->  64 65 3B", "->  66"}));
    // Back to one line a read: the worker sleeps between reads again, and a burst is one line.
    Change({});
    device.Write("xyz");
    ASSERT_TRUE(ServeUntil([&] { return DataLines().size() == 4; }));
    EXPECT_EQ(DataLines().back(), "->  78 79 7A");
}

} // namespace
