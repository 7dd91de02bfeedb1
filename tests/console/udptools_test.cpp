// SPDX-License-Identifier: GPL-3.0-or-later
// The UDP group's context menus, driven as the operator drives them: multicast groups and
// broadcast in a network of the test's own, and "Send File…" over loopback.
#include "configfolder.h"
#include "console/filesending.h"
#include "console/udpnetworkmenu.h"
#include "console/untMain.h"
#include "console/windowtools.h"
#include "core/codepage.h"
#include "core/settings.h"
#include "filesend/filesender.h"
#include "loopbackpeer.h"
#include "ownnetwork.h"
#include "panelines.h"
#include "recordingdialogs.h"
#include "sendfixture.h"

#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <mutex>

namespace {

using corvane::ByteString;
using corvane::testing::FileToSend;

class UdpTools : public ::testing::Test {
protected:
    void SetUp() override { ManyTimesUDP = false; }

    // Runs the item named name of the group's context menu; false when it is not there.
    bool Choose(QWidget* group, const char* name, int index = 0) {
        QMenu menu;
        frm().Tools()->FillGroupMenu(group, menu);
        const auto items = menu.findChildren<QAction*>(QLatin1String(name));
        if (index >= items.size() || !items[index]->isEnabled())
            return false;
        items[index]->trigger();
        return true;
    }
    QStringList MenuTexts(QWidget* group) {
        QMenu menu;
        frm().Tools()->FillGroupMenu(group, menu);
        QStringList texts;
        for (const QAction* action : menu.actions())
            texts << action->text();
        return texts;
    }
    int OpenOnFreePort() {
        const int port = corvane::test::FreePort();
        frm().edtUDPPort->setText(QString::number(port));
        frm().btnOpenUDPPort->click();
        EXPECT_EQ(frm().btnOpenUDPPort->Tag, 1);
        return port;
    }
    bool WaitForRec(const ByteString& line) {
        return QTest::qWaitFor(
            [&] {
                const auto lines = PaneLines(frm().mmLogRec);
                return std::find(lines.begin(), lines.end(), line) != lines.end();
            },
            20000);
    }

    TfrmMain& frm() {
        if (!window_)
            window_ = std::make_unique<TfrmMain>(dialogs);
        return *window_;
    }
    // A window made afresh, as the next run makes it.
    void Restart() {
        window_.reset();
        frm();
    }

    corvane::testing::ConfigFolder config; // before any window, which reads the settings
    RecordingDialogs dialogs;

private:
    std::unique_ptr<TfrmMain> window_;
};

// Made in the test's own network: the window's socket, made at Open, then belongs to it.
class UdpToolsInOwnNetwork : public UdpTools {
protected:
    void SetUp() override {
        UdpTools::SetUp();
        if (!network.Refusal().empty())
            GTEST_SKIP() << "multicast and broadcast are tested only in a network of the test's "
                            "own, which this machine does not give: "
                         << network.Refusal();
    }
    void TearDown() override { Restart(); } // the window's socket goes before the network

    corvane::test::OwnNetwork network;
};

TEST_F(UdpToolsInOwnNetwork,
       AGroupJoinedFromTheMenuIsReceivedRememberedAndJoinedAgainAtTheNextRun) {
    dialogs.multicastAnswer = Dialogs::MulticastChoice{"239.0.0.1", ""};
    ASSERT_TRUE(Choose(frm().grpbxUDP, "join-multicast-group"));
    EXPECT_EQ(dialogs.multicastQuestions, 1);
    EXPECT_TRUE(MenuTexts(frm().grpbxUDP).contains(QStringLiteral("Leave 239.0.0.1")));
    EXPECT_EQ(corvane::Settings().MulticastGroups(), QStringList{"239.0.0.1"});

    Restart();
    const int port = OpenOnFreePort(); // joined at the Open
    corvane::TIdUDPServer sender;
    sender.SendDatagram("239.0.0.1", port, "\x01\x02");
    ASSERT_TRUE(WaitForRec("-> (192.0.2.1) : 01 02"));
    EXPECT_TRUE(PaneLines(frm().mmLog).empty());

    ASSERT_TRUE(Choose(frm().grpbxUDP, "leave-multicast-group"));
    EXPECT_TRUE(corvane::Settings().MulticastGroups().isEmpty());
    EXPECT_FALSE(MenuTexts(frm().grpbxUDP).contains(QStringLiteral("Leave 239.0.0.1")));
}

TEST_F(UdpToolsInOwnNetwork, AJoinRefusedWhileOpenWritesOneLineAndThePortStaysOpen) {
    OpenOnFreePort();
    dialogs.multicastAnswer = Dialogs::MulticastChoice{"239.0.0.2", "198.51.100.7"};
    ASSERT_TRUE(Choose(frm().grpbxUDP, "join-multicast-group"));
    EXPECT_EQ(PaneLines(frm().mmLog),
              std::vector<ByteString>{"Could not join multicast group 239.0.0.2: The requested "
                                      "address is not valid in its context."});
    EXPECT_TRUE(frm().IdUDPServer1->Active());
    EXPECT_EQ(frm().btnOpenUDPPort->text(), "Close");
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_TRUE(
        MenuTexts(frm().grpbxUDP).contains(QStringLiteral("Leave 239.0.0.2 on 198.51.100.7")));
}

TEST_F(UdpToolsInOwnNetwork, TheTimeToLiveOfMulticastIsOneUnlessTheSettingsFileSaysOtherwise) {
    OpenOnFreePort();
    const auto socket = [&] {
        return static_cast<int>(frm().IdUDPServer1->Bindings().Items(0).OsSocket());
    };
    EXPECT_EQ(corvane::test::MulticastTtlOf(socket()), 1);
    config.WriteSettings("[udp]\nmulticastTTL=8\n");
    Restart();
    OpenOnFreePort();
    EXPECT_EQ(corvane::test::MulticastTtlOf(socket()), 8);
}

TEST_F(UdpToolsInOwnNetwork, AllowBroadcastIsOffUntilChosenAndThenRemembered) {
    const int port = OpenOnFreePort();
    frm().edtHost->setText(QStringLiteral("255.255.255.255:%1").arg(port));
    frm().edtUDPData->setText("7E");
    frm().btnSendUDP->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Socket Error # 10013\r\nAccess denied.");

    ASSERT_TRUE(Choose(frm().grpbxUDP, "allow-broadcast")); // on, the port open
    frm().btnSendUDP->click();
    ASSERT_TRUE(WaitForRec("-> (192.0.2.1) : 7E"));
    EXPECT_EQ(PaneLines(frm().mmLog), std::vector<ByteString>{"<- 7E"});

    Restart(); // remembered
    QMenu menu;
    frm().Tools()->FillGroupMenu(frm().grpbxUDP, menu);
    EXPECT_TRUE(menu.findChild<QAction*>(QStringLiteral("allow-broadcast"))->isChecked());
    EXPECT_TRUE(frm().IdUDPServer1->BroadcastEnabled());
}

// A peer that keeps what arrives on its listener thread.
class Receiver {
public:
    Receiver() {
        server.SetThreadedEvent(true);
        server.SetBufferSize(65536);
        server.SetOnUDPRead(
            [this](corvane::TIdUDPServer&, corvane::Stream& data, corvane::TIdSocketHandle&) {
                ByteString bytes(data.Size(), '\0');
                data.Read(bytes.data(), bytes.size());
                std::lock_guard lock(mutex);
                received += bytes;
            });
        server.SetDefaultPort(0);
        server.SetActive(true);
    }
    int Port() { return server.Bindings().Items(0).Port(); }
    std::size_t Size() {
        std::lock_guard lock(mutex);
        return received.size();
    }

    std::mutex mutex;
    ByteString received;
    corvane::TIdUDPServer server; // last: it delivers until it is destroyed
};

class UdpFileSendPanel : public UdpTools {
protected:
    const corvane::FileSender* Sender() {
        return frm().Tools()->FileSending(TFileSending::Link::Udp).Sender();
    }
    ByteString LastLine() {
        const auto lines = PaneLines(frm().mmLog);
        return lines.empty() ? ByteString() : lines.back();
    }
};

TEST_F(UdpFileSendPanel, AFileGoesToTheHostAndPortTypedInDatagramsOfTheChosenSize) {
    QMenu closed;
    frm().Tools()->FillGroupMenu(frm().grpbxSendToUDPPort, closed);
    ASSERT_NE(closed.findChild<QAction*>(QStringLiteral("send-file")), nullptr);
    EXPECT_FALSE(closed.findChild<QAction*>(QStringLiteral("send-file"))->isEnabled());

    Receiver peer;
    OpenOnFreePort();
    frm().edtHost->setText(QStringLiteral("LOCALHOST:%1").arg(peer.Port()));
    // Printable, so that the pane's lines can be read back one by one.
    ByteString bytes;
    for (int i = 0; i < 300; ++i)
        bytes += static_cast<char>('A' + i % 26);
    const FileToSend file(bytes);
    dialogs.fileSendAnswer = Dialogs::FileSendChoice{QString::fromStdString(file.Path()), 100, 1};
    ASSERT_TRUE(Choose(frm().grpbxSendToUDPPort, "send-file"));
    ASSERT_EQ(dialogs.fileSendQuestions.size(), 1u);
    EXPECT_EQ(dialogs.fileSendQuestions[0].chunkSize, 1024); // the UDP link's first pace
    EXPECT_EQ(dialogs.fileSendQuestions[0].delayMs, 1);
    EXPECT_EQ(dialogs.fileSendQuestions[0].maxChunkSize, 65507);
    const ByteString name = corvane::ToCodePage(QString::fromStdString(file.Name()));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return LastLine() == corvane::FileSentLine(name, 300); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.Size() == 300; }, 20000));
    EXPECT_EQ(peer.received, bytes);
    EXPECT_EQ(
        PaneLines(frm().mmLog),
        (std::vector<ByteString>{"<- " + bytes.substr(0, 100), "<- " + bytes.substr(100, 100),
                                 "<- " + bytes.substr(200), corvane::FileSentLine(name, 300)}));
    EXPECT_TRUE(dialogs.errors.empty());
    // Each datagram is a send of the link's.
    const corvane::LinkCounts counts = frm().IdUDPServer1->Counters().Read();
    EXPECT_EQ(counts.sentBytes, 300u);
    EXPECT_EQ(counts.sentLines, 3u);
}

TEST_F(UdpFileSendPanel, CloseInTheMiddleEndsTheSendingFirstWithTheTrueCount) {
    Receiver peer;
    const FileToSend file(corvane::testing::RandomBytes(4096));
    frm();
    const int threads = corvane::testing::Threads();
    OpenOnFreePort();
    frm().edtHost->setText(QStringLiteral("127.0.0.1:%1").arg(peer.Port()));
    dialogs.fileSendAnswer =
        Dialogs::FileSendChoice{QString::fromStdString(file.Path()), 1000, 600000};
    ASSERT_TRUE(Choose(frm().grpbxSendToUDPPort, "send-file"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Sender() && Sender()->Sent() == 1000; }, 20000));
    frm().btnOpenUDPPort->click();
    EXPECT_EQ(Sender(), nullptr);
    const ByteString name = corvane::ToCodePage(QString::fromStdString(file.Name()));
    EXPECT_EQ(LastLine(), corvane::FileSendInterruptedLine(name, 1000, 4096));
    EXPECT_EQ(corvane::testing::Threads(), threads) << "the sender and the listener are gone";
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(UdpFileSendPanel, ASendThatFailsEndsTheSendingAndShowsItsMessage) {
    OpenOnFreePort();
    frm().edtHost->setText(QStringLiteral("127.255.255.255:9")); // a broadcast, not allowed
    const FileToSend file(corvane::testing::AllByteValues());
    dialogs.fileSendAnswer = Dialogs::FileSendChoice{QString::fromStdString(file.Path()), 64, 0};
    ASSERT_TRUE(Choose(frm().grpbxSendToUDPPort, "send-file"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.errors.empty(); }, 20000));
    EXPECT_EQ(dialogs.errors, std::vector<ByteString>{"Socket Error # 10013\r\nAccess denied."});
    const ByteString name = corvane::ToCodePage(QString::fromStdString(file.Name()));
    EXPECT_EQ(PaneLines(frm().mmLog),
              std::vector<ByteString>{corvane::FileSendInterruptedLine(name, 0, 256)});
}

TEST_F(UdpFileSendPanel, ABadPortPartOrAMissingFileIsShownAndNothingStarts) {
    OpenOnFreePort();
    frm().edtHost->setText("LOCALHOST:99999");
    dialogs.fileSendAnswer = Dialogs::FileSendChoice{"/nonexistent/fw.bin", 64, 0};
    ASSERT_TRUE(Choose(frm().grpbxSendToUDPPort, "send-file"));
    frm().edtHost->setText("LOCALHOST");
    ASSERT_TRUE(Choose(frm().grpbxSendToUDPPort, "send-file"));
    EXPECT_EQ(dialogs.errors, (std::vector<ByteString>{
                                  "Invalid port number: 99999.",
                                  "Cannot send /nonexistent/fw.bin: No such file or directory."}));
    EXPECT_EQ(Sender(), nullptr);
    EXPECT_TRUE(PaneLines(frm().mmLog).empty());
}

} // namespace
