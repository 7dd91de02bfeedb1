// SPDX-License-Identifier: GPL-3.0-or-later
// "Send File…" of the serial send group, driven as the operator drives it, through a
// pseudo-terminal as the device.
#include "configfolder.h"
#include "console/filesending.h"
#include "console/untMain.h"
#include "console/windowtools.h"
#include "core/codepage.h"
#include "filesend/filesender.h"
#include "panelines.h"
#include "ptydevice.h"
#include "recordingdialogs.h"
#include "sendfixture.h"
#include "serial/messages.h"
#include "serial/serialstate.h"

#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <thread>

namespace {

using corvane::ByteString;
using corvane::testing::FileToSend;

class SerialFileSendPanel : public ::testing::Test {
protected:
    void SetUp() override {
        folder.Link(7, device.SlavePath());
        frm.cmbxComPorts->setCurrentIndex(6); // COM7
    }
    void TearDown() override {
        if (frm.btnOpenComPort->Tag != 0)
            frm.btnOpenComPort->click();
        EXPECT_TRUE(QTest::qWaitFor([] { return !corvane::RxThreadRegistered(); }, 60000));
    }

    QAction* SendFileItem(QMenu& menu) {
        frm.Tools()->FillGroupMenu(frm.grpbxSendToComPort, menu);
        return menu.findChild<QAction*>(QStringLiteral("send-file"));
    }
    void ChooseSendFile() {
        QMenu menu;
        QAction* item = SendFileItem(menu);
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(item->isEnabled());
        item->trigger();
    }
    bool WaitForLine(const ByteString& line) {
        return QTest::qWaitFor(
            [&] { return !PaneLines(frm.mmLog).empty() && PaneLines(frm.mmLog).back() == line; },
            60000);
    }
    const corvane::FileSender* Sender() {
        return frm.Tools()->FileSending(TFileSending::Link::Serial).Sender();
    }

    corvane::testing::ConfigFolder config; // before the window, which reads the settings
    corvane::testing::PortsFolder folder;
    corvane::testing::PtyDevice device;
    RecordingDialogs dialogs;
    TfrmMain frm{dialogs};
};

TEST_F(SerialFileSendPanel, SendFileIsOfferedOnlyWhileThePortIsOpen) {
    QMenu closed;
    ASSERT_NE(SendFileItem(closed), nullptr);
    EXPECT_EQ(SendFileItem(closed)->text(), QStringLiteral("Send File…"));
    EXPECT_FALSE(SendFileItem(closed)->isEnabled());
    frm.btnOpenComPort->click();
    QMenu open;
    EXPECT_TRUE(SendFileItem(open)->isEnabled());
}

TEST_F(SerialFileSendPanel, AFileGoesThroughThePortWithItsLinesAndThePaceIsRemembered) {
    const ByteString bytes = corvane::testing::AllByteValues();
    const FileToSend file(bytes);
    frm.btnOpenComPort->click();
    dialogs.fileSendAnswer = Dialogs::FileSendChoice{QString::fromStdString(file.Path()), 128, 0};
    std::thread reader;
    ByteString got;
    reader = std::thread([&] { got = device.Read(bytes.size()); });
    ChooseSendFile();
    ASSERT_EQ(dialogs.fileSendQuestions.size(), 1u);
    EXPECT_EQ(dialogs.fileSendQuestions[0].chunkSize, 256); // the serial link's first pace
    EXPECT_EQ(dialogs.fileSendQuestions[0].delayMs, 0);
    EXPECT_EQ(dialogs.fileSendQuestions[0].maxChunkSize, 65536);
    const ByteString name = corvane::ToCodePage(QString::fromStdString(file.Name()));
    ASSERT_TRUE(WaitForLine(corvane::FileSentLine(name, 256)));
    reader.join();
    EXPECT_EQ(got, bytes);
    std::vector<ByteString> sent;
    for (const ByteString& line : PaneLines(frm.mmLog))
        if (line.rfind("<- ", 0) == 0)
            sent.push_back(line);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].substr(0, 13), "<-  00 01 02 ");
    EXPECT_EQ(sent[1].substr(sent[1].size() - 6), " FE FF");
    EXPECT_TRUE(dialogs.errors.empty());
    // Each chunk is a send of the link's.
    const corvane::LinkCounts counts = corvane::SerialCounters().Read();
    EXPECT_EQ(counts.sentBytes, 256u);
    EXPECT_EQ(counts.sentLines, 2u);

    dialogs.fileSendAnswer.reset(); // asked again: the pace chosen last is offered
    ASSERT_TRUE(QTest::qWaitFor([&] { return Sender() == nullptr; }, 60000));
    ChooseSendFile();
    ASSERT_EQ(dialogs.fileSendQuestions.size(), 2u);
    EXPECT_EQ(dialogs.fileSendQuestions[1].chunkSize, 128);
}

TEST_F(SerialFileSendPanel, CloseInTheMiddleEndsTheSendingWithTheTrueCountAndLeavesNothingBehind) {
    const FileToSend file(corvane::testing::AllByteValues());
    const int descriptors = corvane::testing::OpenDescriptors();
    frm.btnOpenComPort->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return PaneLines(frm.mmLog).size() >= 1; }, 60000));
    // A pause between chunks that only a cancel ends.
    dialogs.fileSendAnswer =
        Dialogs::FileSendChoice{QString::fromStdString(file.Path()), 16, 600000};
    ChooseSendFile();
    ASSERT_NE(Sender(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Sender()->Sent() == 16; }, 60000));
    EXPECT_NE(frm.mmLog->findChild<QPushButton*>(QStringLiteral("fileSendCancel")), nullptr);
    frm.btnOpenComPort->click();
    EXPECT_EQ(Sender(), nullptr);
    const ByteString name = corvane::ToCodePage(QString::fromStdString(file.Name()));
    const auto lines = PaneLines(frm.mmLog);
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), corvane::FileSendInterruptedLine(name, 16, 256)),
        lines.end());
    EXPECT_EQ(frm.mmLog->findChild<QPushButton*>(QStringLiteral("fileSendCancel")), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([] { return !corvane::RxThreadRegistered(); }, 60000));
    // The port's other watchers let go of theirs as they end, a moment after the worker on a
    // loaded machine.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return corvane::testing::OpenDescriptors() == descriptors; }, 60000))
        << corvane::testing::OpenDescriptors() << " open, " << descriptors << " before";
}

TEST_F(SerialFileSendPanel, CancelOnTheBarEndsTheSendingAndTheRepetitionGoesOnBesideIt) {
    const FileToSend file(corvane::testing::AllByteValues());
    frm.btnOpenComPort->click();
    dialogs.fileSendAnswer = Dialogs::FileSendChoice{QString::fromStdString(file.Path()), 1, 50};
    ChooseSendFile();
    // The operator's repetition writes between the file's chunks.
    frm.edtData->setText("AA BB");
    frm.chkbxManyTimes->click();
    frm.spnedtSendTime->SetValue(20);
    frm.btnWriteToPort->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto lines = PaneLines(frm.mmLog);
            return std::count(lines.begin(), lines.end(), ByteString("<-  AA BB")) >= 3 &&
                   Sender() && Sender()->Sent() >= 3;
        },
        60000));
    auto* cancel = frm.mmLog->findChild<QPushButton*>(QStringLiteral("fileSendCancel"));
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Sender() == nullptr; }, 60000));
    frm.btnWriteToPort->click(); // Stop
    const auto lines = PaneLines(frm.mmLog);
    const ByteString name = corvane::ToCodePage(QString::fromStdString(file.Name()));
    const auto end = std::find_if(lines.begin(), lines.end(), [&](const ByteString& line) {
        return line.rfind(corvane::FileSendInterruptedLine(name, 0, 0).substr(0, 20), 0) == 0;
    });
    ASSERT_NE(end, lines.end());
    const std::size_t fileChunks = static_cast<std::size_t>(
        std::count_if(lines.begin(), end, [](const ByteString& line) { return line.size() == 6; }));
    EXPECT_EQ(*end, corvane::FileSendInterruptedLine(name, fileChunks, 256));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ByteString(corvane::serial::kSendDataError)),
              0);
}

} // namespace
