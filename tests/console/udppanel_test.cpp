// SPDX-License-Identifier: GPL-3.0-or-later
// The UDP panel of the main window, driven by clicks, on loopback addresses only.
#include "console/untMain.h"
#include "core/codepage.h"
#include "core/walltime.h"
#include "kernelclock.h"
#include "loopbackpeer.h"
#include "recordingdialogs.h"

#include <QHelpEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

using corvane::ByteString;
using corvane::test::FreePort;
using corvane::test::LoopbackPeer;

const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);

std::vector<ByteString> Lines(const TLogPane* pane) {
    std::vector<ByteString> lines;
    for (const QString& line : pane->toPlainText().split(u'\n', Qt::SkipEmptyParts))
        lines.push_back(corvane::ToCodePage(line));
    return lines;
}

class UdpPanel : public ::testing::Test {
protected:
    // Process-wide: an earlier window's clicks may have set them.
    void SetUp() override {
        ManyTimesUDP = false;
        ManyTimesSerial = false;
    }

    void SetPort(int port) { frm.edtUDPPort->setText(QString::number(port)); }

    void ExpectClosed() {
        EXPECT_EQ(frm.btnOpenUDPPort->Tag, 0);
        EXPECT_EQ(frm.btnOpenUDPPort->text(), "Open");
        EXPECT_EQ(frm.shpUDPPortState->BrushColor(), kRed);
        EXPECT_FALSE(frm.btnSendUDP->isEnabled());
    }

    void ExpectOpen() {
        EXPECT_EQ(frm.btnOpenUDPPort->Tag, 1);
        EXPECT_EQ(frm.btnOpenUDPPort->text(), "Close");
        EXPECT_EQ(frm.shpUDPPortState->BrushColor(), kGreen);
        EXPECT_TRUE(frm.btnSendUDP->isEnabled());
    }

    // Opens on a free port with LOCALHOST as the destination, so sends come back.
    int OpenToMyself() {
        const int port = FreePort();
        SetPort(port);
        frm.edtHost->setText("LOCALHOST");
        frm.btnOpenUDPPort->click();
        return port;
    }

    bool WaitForLines(const TLogPane* pane, std::size_t count) {
        return QTest::qWaitFor([&] { return Lines(pane).size() >= count; }, 20000);
    }

    RecordingDialogs dialogs;
    TfrmMain frm{dialogs};
};

TEST_F(UdpPanel, OpenBindsTheTypedPortAndCloseReleasesIt) {
    const int port = FreePort();
    SetPort(port);
    frm.btnOpenUDPPort->click();
    EXPECT_TRUE(dialogs.errors.empty());
    ExpectOpen();
    EXPECT_TRUE(frm.IdUDPServer1->Active());
    EXPECT_EQ(frm.IdUDPServer1->DefaultPort(), port);
    EXPECT_EQ(frm.IdUDPServer1->Bindings().Items(0).Port(), port);

    frm.btnOpenUDPPort->click();
    ExpectClosed();
    EXPECT_FALSE(frm.IdUDPServer1->Active());
    corvane::TIdUDPServer other; // the port is free again
    other.SetDefaultPort(port);
    other.SetActive(true);
    EXPECT_TRUE(other.Active());
}

TEST_F(UdpPanel, APortInUseShowsTheBindMessageAndThePanelStaysClosed) {
    corvane::TIdUDPServer holder;
    holder.SetDefaultPort(0);
    holder.SetActive(true);
    const int port = holder.Bindings().Items(0).Port();
    SetPort(port);
    frm.btnOpenUDPPort->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Could not bind socket. Address and port are already in use.");
    ExpectClosed();
    EXPECT_EQ(frm.IdUDPServer1->DefaultPort(), port);
}

TEST_F(UdpPanel, APortTextThatIsNotIntegerTextShowsTheConversionMessage) {
    frm.edtUDPPort->setText("12a");
    frm.btnOpenUDPPort->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "'12a' is not a valid integer value.");
    ExpectClosed();
    EXPECT_EQ(frm.IdUDPServer1->DefaultPort(), 4001);
    EXPECT_EQ(frm.IdUDPServer1->Bindings().Count(), 0);
}

TEST_F(UdpPanel, ASendToLocalhostShowsTheTypedTextAndComesBackFrom127001) {
    OpenToMyself();
    frm.edtUDPData->setText("01 0A FF");
    frm.btnSendUDP->click();
    EXPECT_EQ(Lines(frm.mmLog), std::vector<ByteString>{"<- 01 0A FF"});
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 1));
    EXPECT_EQ(Lines(frm.mmLogRec), std::vector<ByteString>{"-> (127.0.0.1) : 01 0A FF"});

    frm.chkbxRawDataUDP->click();
    frm.edtUDPData->setText("AB");
    frm.btnSendUDP->click();
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 2));
    EXPECT_EQ(Lines(frm.mmLog).back(), "<- AB");
    EXPECT_EQ(Lines(frm.mmLogRec).back(), "-> (127.0.0.1) : 41 42");
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(UdpPanel, AHostWithAPortSendsThereAndTheAnswerFromThatPortComesBack) {
    const int port = OpenToMyself();
    LoopbackPeer device(5); // listens on one port, the window on another
    frm.edtHost->setText(QStringLiteral("127.0.0.5:%1").arg(device.Port()));
    frm.chkbxRawDataUDP->click();
    frm.edtUDPData->setText("ping");
    frm.btnSendUDP->click();
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(Lines(frm.mmLog), std::vector<ByteString>{"<- ping"});
    ByteString got;
    ASSERT_TRUE(device.Receive(got));
    EXPECT_EQ(got, "ping");
    ASSERT_TRUE(device.Send(port, "pong"));
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 1));
    EXPECT_EQ(Lines(frm.mmLogRec), std::vector<ByteString>{"-> (127.0.0.5) : 70 6F 6E 67"});
}

TEST_F(UdpPanel, ABadPortPartShowsItsMessageAndSendsNothing) {
    OpenToMyself();
    frm.edtUDPData->setText("01");
    for (const auto& [host, message] :
         {std::pair{"LOCALHOST:12a", "'12a' is not a valid integer value."},
          {"LOCALHOST:70000", "Invalid port number: 70000."},
          {"LOCALHOST:0", "Invalid port number: 0."}}) {
        dialogs.errors.clear();
        frm.edtHost->setText(host);
        frm.btnSendUDP->click();
        ASSERT_EQ(dialogs.errors.size(), 1u) << host;
        EXPECT_EQ(dialogs.errors[0], message);
    }
    EXPECT_TRUE(frm.mmLog->toPlainText().isEmpty());
}

TEST_F(UdpPanel, AReceivedLineCarriesTheArrivalItsBindingRecorded) {
    // As the listener delivers it: the binding holds the sender and the arrival.
    constexpr std::int64_t kArrived = 1'796'000'000'123'456;
    corvane::TIdSocketHandle binding(0);
    binding.RecordSender("127.0.0.5", 4001, kArrived);
    corvane::StringStream data;
    data.Write("\x01", 1);
    frm.IdUDPServer1UDPRead(*frm.IdUDPServer1, data, binding);
    ASSERT_EQ(Lines(frm.mmLogRec), std::vector<ByteString>{"-> (127.0.0.5) : 01"});
    EXPECT_EQ(frm.mmLogRec->Store().LineTime(0), kArrived);
}

TEST_F(UdpPanel, OnlyFromThisChangesTheLineAndNothingElse) {
    const int port = OpenToMyself();
    LoopbackPeer other(5);
    ASSERT_TRUE(other.Send(port, ByteString("\x01\x02", 2)));
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 1));
    frm.chkbxOnlyFromThis->click();
    ASSERT_TRUE(other.Send(port, ByteString("\x01\x02", 2)));
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 2));
    LoopbackPeer stranger(6); // any host still gets through
    ASSERT_TRUE(stranger.Send(port, ByteString("\x03", 1)));
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 3));
    const std::vector<ByteString> expected{"-> (127.0.0.5) : 01 02", "-> 01 02", "-> 03"};
    EXPECT_EQ(Lines(frm.mmLogRec), expected);
}

TEST_F(UdpPanel, ALineCarriesTheTimeItsDatagramArrivedNotTheTimeItWasShown) {
    const int port = OpenToMyself();
    LoopbackPeer other(5);
    const std::int64_t beforeSend = corvane::WallClockNow();
    ASSERT_TRUE(other.Send(port, ByteString("\x01", 1)));
    // The UI thread is busy while the datagram arrives: it is shown only afterwards.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::int64_t afterBusy = corvane::WallClockNow();
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 1));
    const std::int64_t time = frm.mmLogRec->Store().LineTime(0);
    EXPECT_GE(time, beforeSend - kKernelClockSlackUs);
    EXPECT_LT(time, afterBusy);
}

TEST_F(UdpPanel, EmptyPayloadsSendAnEmptyDatagramRawAndOneZeroByteInHex) {
    const int port = OpenToMyself();
    frm.chkbxRawDataUDP->click();
    frm.btnSendUDP->click();
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 1));
    frm.chkbxRawDataUDP->click();
    frm.btnSendUDP->click();
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 2));
    frm.chkbxOnlyFromThis->click();
    LoopbackPeer other(5);
    ASSERT_TRUE(other.Send(port, ""));
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 3));
    // Both sends log the prefix alone.
    EXPECT_EQ(frm.mmLog->toPlainText(), "<- \n<- \n");
    const std::vector<ByteString> expected{"-> (127.0.0.1) :", "-> (127.0.0.1) : 00", "->"};
    EXPECT_EQ(Lines(frm.mmLogRec), expected);
}

// Mended: the payload edits cut a longer text at 32767 characters without a word.
TEST_F(UdpPanel, PayloadsOfAnyLengthAreSentWholeOrRefusedAsTooBig) {
    const QString whole(40'000, u'a');
    frm.edtData->setText(whole); // the serial payload edit alike
    EXPECT_EQ(frm.edtData->text(), whole);

    OpenToMyself();
    frm.chkbxRawDataUDP->click();
    frm.edtUDPData->setText(whole);
    EXPECT_EQ(frm.edtUDPData->text(), whole);
    frm.btnSendUDP->click();
    EXPECT_EQ(Lines(frm.mmLog), std::vector<ByteString>{"<- " + ByteString(40'000, 'a')});

    frm.edtUDPData->setText(QString(70'000, u'b'));
    frm.btnSendUDP->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Package Size Too Big.");
    EXPECT_EQ(Lines(frm.mmLog).size(), 1u);
}

TEST_F(UdpPanel, ABadHexTokenSendsAndLogsNothing) {
    OpenToMyself();
    frm.edtUDPData->setText("0G");
    frm.btnSendUDP->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "No Hex-Number.");
    EXPECT_TRUE(frm.mmLog->toPlainText().isEmpty());
}

TEST_F(UdpPanel, ABroadcastIsRefusedWithTheSocketErrorAndNothingIsLogged) {
    OpenToMyself();
    frm.edtHost->setText("127.255.255.255");
    frm.edtUDPData->setText("01");
    frm.btnSendUDP->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Socket Error # 10013\r\nAccess denied.");
    EXPECT_TRUE(frm.mmLog->toPlainText().isEmpty());
}

TEST_F(UdpPanel, ManyTimesSendsAtEveryTickUntilStop) {
    OpenToMyself();
    frm.edtUDPData->setText("07");
    frm.spnedtSendTimeUDP->SetValue(20);
    frm.chkbxManyTimesUDP->click();
    EXPECT_TRUE(frm.spnedtSendTimeUDP->isEnabled());
    frm.btnSendUDP->click();
    EXPECT_EQ(frm.btnSendUDP->Tag, 1);
    EXPECT_EQ(frm.btnSendUDP->text(), "Stop");
    EXPECT_EQ(frm.tmrSendUDP->Interval(), 20u);
    EXPECT_TRUE(frm.mmLog->toPlainText().isEmpty()); // the first send comes with the first tick
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 3));
    frm.btnSendUDP->click();
    EXPECT_EQ(frm.btnSendUDP->Tag, 0);
    EXPECT_EQ(frm.btnSendUDP->text(), "Send");
    EXPECT_FALSE(frm.tmrSendUDP->Enabled());
    for (const ByteString& line : Lines(frm.mmLog))
        EXPECT_EQ(line, "<- 07");
}

TEST_F(UdpPanel, AnIntervalTextThatIsNotIntegerTextRepeatsAtIntervalZero) {
    OpenToMyself();
    frm.spnedtSendTimeUDP->Edit()->setText("abc"); // pasted: typing would refuse letters
    frm.chkbxManyTimesUDP->click();
    frm.btnSendUDP->click();
    EXPECT_EQ(frm.btnSendUDP->text(), "Stop");
    EXPECT_TRUE(frm.tmrSendUDP->Enabled());
    EXPECT_EQ(frm.tmrSendUDP->Interval(), 0u); // a timer that never ticks
}

// Mended: a repetition left running would re-activate the closed endpoint with its next tick.
TEST_F(UdpPanel, CloseAlsoStopsARepetition) {
    OpenToMyself();
    frm.chkbxManyTimesUDP->click();
    frm.btnSendUDP->click();
    ASSERT_TRUE(frm.tmrSendUDP->Enabled());
    frm.btnOpenUDPPort->click();
    ExpectClosed();
    EXPECT_FALSE(frm.tmrSendUDP->Enabled());
    EXPECT_EQ(frm.btnSendUDP->Tag, 0);
    EXPECT_EQ(frm.btnSendUDP->text(), "Send");
    EXPECT_FALSE(frm.IdUDPServer1->Active());
}

// Mended: a button that reads "Stop" stops, even after "Many Times" was unchecked.
TEST_F(UdpPanel, StopStopsWhateverManyTimesSays) {
    OpenToMyself();
    frm.chkbxManyTimesUDP->click();
    frm.btnSendUDP->click();
    frm.chkbxManyTimesUDP->click();
    EXPECT_FALSE(ManyTimesUDP);
    frm.btnSendUDP->click();
    EXPECT_FALSE(frm.tmrSendUDP->Enabled());
    EXPECT_EQ(frm.btnSendUDP->Tag, 0);
    EXPECT_EQ(frm.btnSendUDP->text(), "Send");
    EXPECT_TRUE(frm.mmLog->toPlainText().isEmpty()); // and sends nothing
}

// Mended: every Open binds the port typed at that Open, also after a first Open that failed.
TEST_F(UdpPanel, EveryOpenBindsThePortTypedThen) {
    {
        corvane::TIdUDPServer holder;
        holder.SetDefaultPort(0);
        holder.SetActive(true);
        SetPort(holder.Bindings().Items(0).Port());
        frm.btnOpenUDPPort->click();
        ASSERT_EQ(dialogs.errors.size(), 1u);
        ExpectClosed();
    } // the holder gives its port up only after the panel has moved on to another one

    const int second = OpenToMyself();
    ExpectOpen();
    EXPECT_EQ(frm.IdUDPServer1->Bindings().Items(0).Port(), second);
    frm.btnOpenUDPPort->click();

    const int third = OpenToMyself();
    ExpectOpen();
    EXPECT_EQ(frm.IdUDPServer1->Bindings().Items(0).Port(), third);
    // Sends go to the port typed, which is now the bound one: they come back.
    frm.edtUDPData->setText("33");
    frm.btnSendUDP->click();
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 1));
    EXPECT_EQ(Lines(frm.mmLogRec), std::vector<ByteString>{"-> (127.0.0.1) : 33"});
    EXPECT_EQ(dialogs.errors.size(), 1u);
}

// A datagram the endpoint had no room for: the upper pane says how many were lost, in the
// system's own words.
TEST_F(UdpPanel, DatagramsLostOnReceiptShowOneLineWithTheirCount) {
    frm.IdUDPServer1->SetQueueBudget(64); // too small for a datagram of 100 bytes
    const int port = FreePort();
    SetPort(port);
    frm.btnOpenUDPPort->click();
    LoopbackPeer other;
    ASSERT_TRUE(other.Send(port, ByteString(100, 'x')));
    ASSERT_TRUE(WaitForLines(frm.mmLog, 1));
    const QString line = QString::fromUtf8("Потеряно датаграмм при приёме: 1");
    EXPECT_EQ(Lines(frm.mmLog), std::vector<ByteString>{corvane::ToCodePage(line)});
    EXPECT_TRUE(Lines(frm.mmLogRec).empty());
}

// The UDP lamp's tooltip: what the endpoint received, sent, failed to send and lost since it was
// opened.
TEST_F(UdpPanel, TheLampsTooltipCountsDatagramsBothWaysFailedSendsAndLossesFromTheOpen) {
    const auto tooltip = [&] {
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5),
                        frm.shpUDPPortState->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(frm.shpUDPPortState, &help);
        return frm.shpUDPPortState->toolTip().split('\n');
    };
    frm.IdUDPServer1->SetQueueBudget(64); // too small for a datagram of 100 bytes
    const int port = OpenToMyself();
    frm.edtUDPData->setText("01 0A FF");
    frm.btnSendUDP->click();
    ASSERT_TRUE(WaitForLines(frm.mmLogRec, 1));
    LoopbackPeer other;
    ASSERT_TRUE(other.Send(port, ByteString(100, 'x')));
    ASSERT_TRUE(WaitForLines(frm.mmLog, 2)); // the send's line and the loss line
    frm.edtHost->setText("127.255.255.255"); // broadcasts are not allowed
    frm.btnSendUDP->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);

    QStringList tip = tooltip();
    ASSERT_EQ(tip.size(), 4) << tip.join('|').toStdString();
    EXPECT_TRUE(tip[0].startsWith("Received 3 bytes in 1 datagram, ")) << tip[0].toStdString();
    EXPECT_TRUE(tip[1].startsWith("Sent 3 bytes in 1 datagram, ")) << tip[1].toStdString();
    EXPECT_EQ(tip[2], "Failed sends: 1");
    EXPECT_EQ(tip[3], "Lost: 1 datagram");

    frm.btnOpenUDPPort->click();
    frm.btnOpenUDPPort->click();
    ExpectOpen();
    tip = tooltip();
    ASSERT_EQ(tip.size(), 4);
    EXPECT_TRUE(tip[0].startsWith("Received 0 bytes in 0 datagrams, ")) << tip[0].toStdString();
    EXPECT_TRUE(tip[1].startsWith("Sent 0 bytes in 0 datagrams, ")) << tip[1].toStdString();
    EXPECT_EQ(tip[2], "Failed sends: 0");
    EXPECT_EQ(tip[3], "Lost: 0 datagrams");
}

TEST(UdpPanelEnding, DestroyingTheWindowEndsTheEndpointWhileDatagramsArrive) {
    RecordingDialogs dialogs;
    const int port = FreePort();
    std::atomic<bool> stop{false};
    std::thread flood;
    {
        TfrmMain frm{dialogs};
        frm.edtUDPPort->setText(QString::number(port));
        frm.btnOpenUDPPort->click();
        ASSERT_TRUE(frm.IdUDPServer1->Active());
        flood = std::thread([&] {
            LoopbackPeer sender(5);
            while (!stop.load())
                sender.Send(port, "x");
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Lines(frm.mmLogRec).empty(); }, 20000));
    }
    stop.store(true);
    flood.join();
    corvane::TIdUDPServer after; // the socket was closed with the window
    after.SetDefaultPort(port);
    after.SetActive(true);
    EXPECT_TRUE(after.Active());
}

} // namespace
