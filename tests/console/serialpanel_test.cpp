// SPDX-License-Identifier: GPL-3.0-or-later
// The serial groups of the main window, driven by clicks, with pseudo-terminals as the devices.
#include "console/countersbar.h"
#include "console/countertools.h"
#include "console/linesettingsdialog.h"
#include "console/plotmenu.h"
#include "console/plotwindow.h"
#include "console/seriallinesbar.h"
#include "console/seriallinetools.h"
#include "console/splitmenu.h"
#include "console/tshape.h"
#include "console/untMain.h"
#include "console/windowtools.h"
#include "core/codepage.h"
#include "core/handover.h"
#include "fakemodemlines.h"
#include "fakesysfs.h"
#include "ptydevice.h"
#include "recordingdialogs.h"
#include "serial/comport.h"
#include "serial/devicemessages.h"
#include "serial/linesettings.h"
#include "serial/messages.h"
#include "serial/serialstate.h"

#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>

namespace {

using corvane::ByteString;
using corvane::testing::PortsFolder;
using corvane::testing::PtyDevice;
using corvane::testing::ReadSlaveLine;
namespace msg = corvane::serial;

const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);

std::vector<ByteString> Lines(const TLogPane* pane) {
    std::vector<ByteString> lines;
    for (const QString& line : pane->toPlainText().split(u'\n', Qt::SkipEmptyParts))
        lines.push_back(corvane::ToCodePage(line.trimmed()));
    return lines;
}

std::size_t CountSent(const TLogPane* pane) {
    const auto lines = Lines(pane);
    return static_cast<std::size_t>(std::count_if(
        lines.begin(), lines.end(), [](const ByteString& l) { return l.rfind("<-", 0) == 0; }));
}

class SerialPanel : public ::testing::Test {
protected:
    void SetUp() override {
        // Process-wide: an earlier window's clicks may have set them.
        ManyTimesSerial = false;
        ManyTimesUDP = false;
        folder.Link(7, device.SlavePath());
        frm.cmbxComPorts->setCurrentIndex(6); // COM7
    }
    void TearDown() override {
        if (frm.btnOpenComPort->Tag != 0)
            frm.btnOpenComPort->click();
        // The worker appends to this window's panes until it has let go.
        EXPECT_TRUE(QTest::qWaitFor([] { return !corvane::RxThreadRegistered(); }, 60000));
    }

    bool WaitFor(const std::function<bool()>& condition) {
        return QTest::qWaitFor(condition, 60000);
    }
    bool Has(const TLogPane* pane, const ByteString& line) {
        const auto lines = Lines(pane);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // Runs the event loop through several periods of a 20 ms timer: long enough for any timer
    // that ticks at all (an interval-0 QTimer would tick at every pass) to have ticked.
    void RunTimerPeriods(int periods) {
        QTimer clock;
        int ticks = 0;
        QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
        clock.start(20);
        ASSERT_TRUE(WaitFor([&] { return ticks >= periods; }));
    }

    void ExpectClosed() {
        EXPECT_EQ(frm.btnOpenComPort->Tag, 0);
        EXPECT_EQ(frm.btnOpenComPort->text(), "Open");
        EXPECT_EQ(frm.shpComPortState->BrushColor(), kRed);
        EXPECT_TRUE(frm.cmbxComPorts->isEnabled());
        EXPECT_TRUE(frm.cmbxBaudRate->isEnabled());
        EXPECT_FALSE(frm.btnWriteToPort->isEnabled());
    }
    void ExpectOpen() {
        EXPECT_EQ(frm.btnOpenComPort->Tag, 1);
        EXPECT_EQ(frm.btnOpenComPort->text(), "Close");
        EXPECT_EQ(frm.shpComPortState->BrushColor(), kGreen);
        EXPECT_FALSE(frm.cmbxComPorts->isEnabled());
        EXPECT_FALSE(frm.cmbxBaudRate->isEnabled());
        EXPECT_TRUE(frm.btnWriteToPort->isEnabled());
    }
    // Armed: "Many Times" checked, no repetition running.
    void ExpectArmed() {
        EXPECT_FALSE(frm.tmrSendSerial->Enabled());
        EXPECT_EQ(frm.btnWriteToPort->Tag, 0);
        EXPECT_EQ(frm.btnWriteToPort->text(), "Send");
        EXPECT_TRUE(frm.chkbxManyTimes->isEnabled());
        EXPECT_TRUE(frm.chkbxRawData->isEnabled());
        EXPECT_TRUE(frm.spnedtSendTime->isEnabled());
    }
    void Open() {
        frm.btnOpenComPort->click();
        ASSERT_EQ(frm.btnOpenComPort->Tag, 1) << Lines(frm.mmLog).size();
        ASSERT_TRUE(WaitFor([&] { return Has(frm.mmLog, msg::kRxStarted); }));
    }
    QString Tooltip(QWidget* widget) {
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), widget->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(widget, &help);
        return widget->toolTip();
    }
    // The pane's context menu item by its object name: whether it was ticked, after which it is
    // triggered when asked; nothing when the menu has no such item.
    std::optional<bool> MenuItem(TLogPane* pane, const char* name, bool trigger = false) {
        std::unique_ptr<QMenu> menu(pane->createStandardContextMenu());
        auto* item = menu->findChild<QAction*>(QString::fromLatin1(name));
        if (!item)
            return std::nullopt;
        const bool ticked = item->isChecked();
        if (trigger)
            item->trigger();
        return ticked;
    }
    void StartRepetition(int interval) {
        frm.chkbxManyTimes->click();
        frm.spnedtSendTime->SetValue(interval);
        frm.btnWriteToPort->click();
    }

    // What an earlier test saved is gone before the window reads it.
    struct FreshSettings {
        FreshSettings() {
            QSettings(corvane::Settings::DefaultFileName(), QSettings::IniFormat).clear();
        }
    } fresh;
    PortsFolder folder;
    PtyDevice device;
    RecordingDialogs dialogs;
    TfrmMain frm{dialogs};
};

TEST_F(SerialPanel, OpenAndCloseSwitchTheGroupAndTheWorker) {
    ExpectClosed();
    Open();
    ExpectOpen();
    const auto line = ReadSlaveLine(device.Master());
    EXPECT_EQ(line.ospeed, 19200u);
    EXPECT_EQ(line.cflag & (CSIZE | PARENB | CSTOPB), unsigned{CS8 | CSTOPB});

    frm.btnOpenComPort->click();
    ExpectClosed();
    ASSERT_TRUE(WaitFor([&] { return Has(frm.mmLog, msg::kRxEnded); }));
    EXPECT_EQ(Lines(frm.mmLog), (std::vector<ByteString>{msg::kRxStarted, msg::kRxEnded}));
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SerialPanel, TheBaudTextIsIntegerText) {
    frm.cmbxBaudRate->setEditText("$4B00");
    Open();
    EXPECT_EQ(ReadSlaveLine(device.Master()).ospeed, 19200u);
    frm.btnOpenComPort->click();

    frm.cmbxBaudRate->setEditText("14400");
    Open();
    EXPECT_EQ(ReadSlaveLine(device.Master()).ospeed, 14400u);
    frm.btnOpenComPort->click();

    frm.cmbxBaudRate->setEditText("fast");
    frm.btnOpenComPort->click();
    EXPECT_EQ(dialogs.errors, std::vector<ByteString>{"'fast' is not a valid integer value."});
    ExpectClosed();
}

TEST_F(SerialPanel, ABusyPortLogsInvalidHandleValueAndStaysClosed) {
    const HANDLE holder = CreateFileA("\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    frm.btnOpenComPort->click();
    ExpectClosed();
    // This very program holds it, through the other handle.
    std::ifstream comm("/proc/self/comm");
    std::string command;
    std::getline(comm, command);
    EXPECT_EQ(Lines(frm.mmLog),
              (std::vector<ByteString>{"INVALID_HANDLE_VALUE",
                                       msg::kDeviceBusy + device.SlavePath() + " (" + command +
                                           ", PID " + std::to_string(getpid()) + ")"}));
    CloseHandle(holder);
}

TEST_F(SerialPanel, TheLastEntryOpensCom255) {
    folder.Link(255, device.SlavePath());
    frm.cmbxComPorts->setCurrentIndex(254);
    Open();
    ExpectOpen();
}

TEST_F(SerialPanel, TheTooltipNamesTheDeviceBehindTheSelectedPort) {
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), frm.cmbxComPorts->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(frm.cmbxComPorts, &help);
    EXPECT_EQ(frm.cmbxComPorts->toolTip(),
              QString::fromStdString("COM7: " + device.SlavePath() + " (link " + folder.Path() +
                                     "/COM7)\n19200 8N2"));
    frm.cmbxComPorts->setCurrentIndex(33);
    QCoreApplication::sendEvent(frm.cmbxComPorts, &help);
    EXPECT_EQ(frm.cmbxComPorts->toolTip(), "COM34: /dev/ttyUSB1\n19200 8N2");
}

// "Line Settings…" in the serial group's and the port list's menu.
class SerialLineSettings : public SerialPanel {
protected:
    TLineSettingsDialog* OpenDialog(QWidget* from) {
        std::unique_ptr<QMenu> menu(frm.SerialLineTools()->MakeMenu(from));
        auto* item = menu->findChild<QAction*>(QStringLiteral("line-settings"));
        EXPECT_NE(item, nullptr);
        if (!item)
            return nullptr;
        EXPECT_EQ(item->text(), QString::fromUtf8("Line Settings…"));
        item->trigger();
        return frm.SerialLineTools()->LineSettingsDialog();
    }
};

TEST_F(SerialLineSettings, AreRememberedPerComNumberAndReachTheDeviceAtTheNextOpen) {
    TLineSettingsDialog* dialog = OpenDialog(frm.grpbxComPort);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Chosen(), corvane::LineFrame{}); // as specified: 8N2, both lines raised
    dialog->cmbxStopBits->setCurrentIndex(0);
    dialog->cmbxFlowControl->setCurrentIndex(1); // RTS/CTS
    EXPECT_FALSE(dialog->chkbxRtsAtOpen->isEnabled());
    dialog->buttons->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(Tooltip(frm.shpComPortState).section('\n', 0, 0), "19200 8N1, RTS/CTS");
    EXPECT_TRUE(Tooltip(frm.cmbxComPorts).endsWith("\n19200 8N1, RTS/CTS"));

    Open();
    const auto line = ReadSlaveLine(device.Master());
    EXPECT_EQ(line.cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), unsigned{CS8 | CRTSCTS});
    EXPECT_EQ(Lines(frm.mmLog), std::vector<ByteString>{msg::kRxStarted});

    // Another COM number keeps the specified settings.
    frm.btnOpenComPort->click();
    frm.cmbxComPorts->setCurrentIndex(7);
    dialog = OpenDialog(frm.cmbxComPorts);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Chosen(), corvane::LineFrame{});
    dialog->buttons->button(QDialogButtonBox::Cancel)->click();
}

TEST_F(SerialLineSettings, ARefusedFrameIsLoggedAndTheDialogShowsWhatTheDriverKept) {
    Open();
    TLineSettingsDialog* dialog = OpenDialog(frm.grpbxComPort);
    ASSERT_NE(dialog, nullptr);
    dialog->cmbxStopBits->setCurrentIndex(0);
    dialog->cmbxFlowControl->setCurrentIndex(2); // XON/XOFF: the pty takes it at once
    dialog->buttons->button(QDialogButtonBox::Apply)->click();
    EXPECT_EQ(ReadSlaveLine(device.Master()).iflag & (IXON | IXOFF), unsigned{IXON | IXOFF});
    EXPECT_EQ(Tooltip(frm.shpComPortState).section('\n', 0, 0), "19200 8N1, XON/XOFF");

    dialog->cmbxParity->setCurrentIndex(2); // even: a pty refuses parity
    dialog->buttons->button(QDialogButtonBox::Apply)->click();
    EXPECT_EQ(Lines(frm.mmLog).back(), msg::kWriteSettingsError + corvane::ComPortPath(7));
    EXPECT_EQ(dialog->cmbxParity->currentIndex(), 0); // what the driver kept
    EXPECT_EQ(dialog->cmbxFlowControl->currentIndex(), 2);
    EXPECT_EQ(Tooltip(frm.shpComPortState).section('\n', 0, 0), "19200 8N1, XON/XOFF");
    dialog->buttons->button(QDialogButtonBox::Cancel)->click();
}

TEST_F(SerialPanel, EntriesWithADeviceAreBoldAndTheirTooltipsNameTheAdapter) {
    corvane::testing::FakeSysfs tree;
    tree.AddUsbAdapter(device.SlavePath(), "1-2",
                       {"ttyUSB0", "cp210x", false, "10c4", "ea60", "Silicon Labs",
                        "CP2102 USB to UART Bridge Controller", "0001",
                        "usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0"});
    folder.Link(150, "/dev/nonexistent-corvane-device");
    const auto bold = [&](int index) {
        return frm.cmbxComPorts->itemData(index, Qt::FontRole).value<QFont>().bold();
    };
    const QString facts =
        QString::fromStdString("by-id: " + tree.ByIdFolder() +
                               "/usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-"
                               "port0\nUSB VID:PID 10c4:ea60\nManufacturer: Silicon Labs\n"
                               "Product: CP2102 USB to UART Bridge Controller\n"
                               "Serial number: 0001\nDriver: cp210x");
    // Opening the list surveys the ports again.
    frm.cmbxComPorts->showPopup();
    ASSERT_TRUE(WaitFor(
        [&] { return frm.cmbxComPorts->itemData(6, Qt::ToolTipRole).toString().endsWith(facts); }));
    frm.cmbxComPorts->hidePopup();
    EXPECT_TRUE(bold(6));
    EXPECT_FALSE(bold(149));
    EXPECT_EQ(frm.cmbxComPorts->itemData(6, Qt::ToolTipRole).toString(),
              QString::fromStdString("COM7: " + device.SlavePath() + " (link " + folder.Path() +
                                     "/COM7)\n") +
                  facts);
    // The list's own tooltip names the selected port's adapter too.
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), frm.cmbxComPorts->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(frm.cmbxComPorts, &help);
    EXPECT_TRUE(frm.cmbxComPorts->toolTip().endsWith('\n' + facts + "\n19200 8N2"))
        << frm.cmbxComPorts->toolTip().toStdString();
    // Unplugged: the next opening draws it plain.
    device.CloseMaster();
    frm.cmbxComPorts->showPopup();
    ASSERT_TRUE(WaitFor([&] { return !bold(6); }));
    frm.cmbxComPorts->hidePopup();
}

TEST_F(SerialPanel, SendWritesHexRawAndEmptyPayloads) {
    Open();
    frm.edtData->setText("01 03 00 00");
    frm.btnWriteToPort->click();
    EXPECT_EQ(device.Read(4), ByteString("\x01\x03\x00\x00", 4));

    frm.edtData->setText("");
    frm.btnWriteToPort->click(); // hex: one zero byte
    EXPECT_EQ(device.Read(1), ByteString(1, '\0'));

    frm.chkbxRawData->click();
    frm.edtData->setText("AT\x01");
    frm.btnWriteToPort->click();
    EXPECT_EQ(device.Read(3), "AT\x01");
    frm.edtData->setText("");
    frm.btnWriteToPort->click(); // raw: nothing at all

    EXPECT_EQ(Lines(frm.mmLog), (std::vector<ByteString>{msg::kRxStarted, "<-  01 03 00 00",
                                                         "<-  00", "<-  41 54 01"}));
    EXPECT_EQ(device.ReadAvailable(), "");
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SerialPanel, ABadHexPayloadIsShownAndNothingIsSent) {
    Open();
    frm.edtData->setText("01 0G");
    frm.btnWriteToPort->click();
    EXPECT_EQ(dialogs.errors, std::vector<ByteString>{"No Hex-Number."});
    EXPECT_EQ(CountSent(frm.mmLog), 0u);
    EXPECT_EQ(device.ReadAvailable(), "");
}

TEST_F(SerialPanel, ManyTimesRepeatsAtTheIntervalWithTheTextOfEachTick) {
    Open();
    frm.chkbxManyTimes->click();
    EXPECT_TRUE(ManyTimesSerial);
    EXPECT_TRUE(frm.spnedtSendTime->isEnabled());
    frm.edtData->setText("AA");
    frm.spnedtSendTime->SetValue(30);
    frm.btnWriteToPort->click();
    // Nothing at the click: the first send is the first tick's, one interval later.
    EXPECT_EQ(CountSent(frm.mmLog), 0u);
    EXPECT_TRUE(frm.tmrSendSerial->Enabled());
    EXPECT_EQ(frm.tmrSendSerial->Interval(), 30u);
    EXPECT_EQ(frm.btnWriteToPort->Tag, 1);
    EXPECT_EQ(frm.btnWriteToPort->text(), "Stop");
    EXPECT_FALSE(frm.chkbxManyTimes->isEnabled());
    EXPECT_FALSE(frm.chkbxRawData->isEnabled());
    EXPECT_FALSE(frm.spnedtSendTime->isEnabled());

    ASSERT_TRUE(WaitFor([&] { return CountSent(frm.mmLog) >= 2; }));
    frm.edtData->setText("BB");
    ASSERT_TRUE(WaitFor([&] { return Has(frm.mmLog, "<-  BB"); }));
    frm.btnWriteToPort->click();
    ExpectArmed();
    const std::size_t sent = CountSent(frm.mmLog);
    RunTimerPeriods(5);
    EXPECT_EQ(CountSent(frm.mmLog), sent);
    const ByteString bytes = device.ReadAvailable();
    EXPECT_EQ(bytes.size(), sent);
    EXPECT_EQ(bytes.substr(0, 2), "\xAA\xAA");
    EXPECT_EQ(bytes.back(), '\xBB');
}

TEST_F(SerialPanel, IntervalZeroReadsStopAndNeverSends) {
    Open();
    frm.edtData->setText("01");
    StartRepetition(0);
    EXPECT_EQ(frm.btnWriteToPort->text(), "Stop");
    EXPECT_TRUE(frm.tmrSendSerial->Enabled());
    RunTimerPeriods(5);
    EXPECT_EQ(CountSent(frm.mmLog), 0u);
    EXPECT_EQ(device.ReadAvailable(), "");
}

TEST_F(SerialPanel, ClosingThePortStopsARepetition) {
    Open();
    frm.edtData->setText("01");
    StartRepetition(20);
    ASSERT_TRUE(WaitFor([&] { return CountSent(frm.mmLog) >= 1; }));
    frm.btnOpenComPort->click();
    ExpectClosed();
    ExpectArmed();
    const std::size_t sent = CountSent(frm.mmLog);
    RunTimerPeriods(5);
    EXPECT_EQ(CountSent(frm.mmLog), sent);
    EXPECT_FALSE(Has(frm.mmLog, msg::kSendDataError));
}

TEST_F(SerialPanel, ReceivedBytesShowInTheLowerPane) {
    Open();
    frm.edtData->setText("01 03 00 00");
    frm.btnWriteToPort->click();
    EXPECT_EQ(device.Read(4), ByteString("\x01\x03\x00\x00", 4));
    device.Write(ByteString("\x01\x03\x02\x00\x2A", 5));
    ASSERT_TRUE(WaitFor([&] { return !Lines(frm.mmLogRec).empty(); }));
    EXPECT_EQ(Lines(frm.mmLogRec), std::vector<ByteString>{"->  01 03 02 00 2A"});
}

// The link's counters below the frame in the lamp's tooltip, from the open; "Reset Counters" in
// either pane's menu starts both links' counts again.
TEST_F(SerialPanel, TheLampsTooltipCountsWhatWentBothWaysAndResetCountersStartsAgain) {
    Open();
    device.Write(ByteString("\x01\x03\x02\x00\x2A", 5));
    ASSERT_TRUE(WaitFor([&] { return !Lines(frm.mmLogRec).empty(); }));
    frm.edtData->setText("01 03");
    frm.btnWriteToPort->click();
    EXPECT_EQ(device.Read(2), ByteString("\x01\x03", 2));
    const auto expectTip = [&](const char* received, const char* sent) {
        const QStringList tip = Tooltip(frm.shpComPortState).split('\n');
        ASSERT_EQ(tip.size(), 5) << tip.join('|').toStdString();
        EXPECT_EQ(tip[0], "19200 8N2");
        EXPECT_TRUE(tip[1].startsWith(received)) << tip[1].toStdString();
        EXPECT_TRUE(tip[2].startsWith(sent)) << tip[2].toStdString();
        EXPECT_EQ(tip[3], "Failed sends: 0");
        EXPECT_EQ(tip[4], "Lost: 0 bytes");
    };
    expectTip("Received 5 bytes in 1 line, ", "Sent 2 bytes in 1 line, ");
    // The tooltip keeps the counts read while it shows; with none up the reading stops.
    EXPECT_TRUE(frm.CounterTools()->Refreshing());
    EXPECT_TRUE(WaitFor([&] { return !frm.CounterTools()->Refreshing(); }));

    frm.IdUDPServer1->Counters().AddLost(3);
    EXPECT_EQ(MenuItem(frm.mmLog, "reset-counters", true), false);
    expectTip("Received 0 bytes in 0 lines, ", "Sent 0 bytes in 0 lines, ");
    EXPECT_EQ(frm.IdUDPServer1->Counters().Read().lost, 0u);
    device.Write("abc");
    ASSERT_TRUE(WaitFor([&] { return Lines(frm.mmLogRec).size() == 2; }));
    expectTip("Received 3 bytes in 1 line, ", "Sent 0 bytes in 0 lines, ");
    EXPECT_EQ(MenuItem(frm.mmLogRec, "reset-counters", true), false);
    expectTip("Received 0 bytes in 0 lines, ", "Sent 0 bytes in 0 lines, ");
}

// "Show Counters" in the lower pane's menu: a bar along the top of the lower pane's text, inside
// the pane, read four times a second while it shows, and shown by the next window too.
TEST_F(SerialPanel, ShowCountersShowsTheBarInsideTheLowerPaneAndIsRemembered) {
    TCountersBar* bar = frm.CounterTools()->Bar();
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(MenuItem(frm.mmLog, "show-counters"), std::nullopt);
    const QRect pane = frm.mmLogRec->geometry();
    const QRect text = frm.mmLogRec->viewport()->geometry();

    EXPECT_EQ(MenuItem(frm.mmLogRec, "show-counters", true), false);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_TRUE(corvane::Settings().ShowCounters());
    EXPECT_EQ(MenuItem(frm.mmLogRec, "show-counters"), true);
    EXPECT_EQ(frm.mmLogRec->geometry(), pane);
    EXPECT_EQ(bar->parentWidget(), frm.mmLogRec);
    EXPECT_EQ(frm.mmLogRec->viewport()->geometry().top(), text.top() + bar->height());
    EXPECT_EQ(bar->geometry().bottom() + 1, frm.mmLogRec->viewport()->geometry().top());
    EXPECT_EQ(bar->geometry().left(), frm.mmLogRec->frameWidth());
    Open();
    device.Write("12345");
    EXPECT_TRUE(WaitFor([&] { return bar->SerialLine().startsWith("Serial  Rx 5 B, 1 line, "); }))
        << bar->SerialLine().toStdString();
    EXPECT_TRUE(bar->UdpLine().startsWith("UDP  Rx 0 B, 0 lines, "))
        << bar->UdpLine().toStdString();
    EXPECT_TRUE(bar->lblSerial->toolTip().startsWith("Received 5 bytes in 1 line, "));
    EXPECT_TRUE(frm.CounterTools()->Refreshing());
    {
        RecordingDialogs otherDialogs;
        const TfrmMain next{otherDialogs};
        EXPECT_FALSE(next.CounterTools()->Bar()->isHidden());
        EXPECT_TRUE(next.CounterTools()->Refreshing());
    }

    EXPECT_EQ(MenuItem(frm.mmLogRec, "show-counters", true), true);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_FALSE(corvane::Settings().ShowCounters());
    EXPECT_EQ(frm.mmLogRec->viewport()->geometry(), text);
    EXPECT_TRUE(WaitFor([&] { return !frm.CounterTools()->Refreshing(); }));
}

// Leaving the program with the port open does not stop the worker; the process must still end
// cleanly while it runs and the device keeps sending.
void EndWhileReceiving() {
    // exit() runs no destructor of this frame: the folder is removed by hand on every way out.
    auto folder = std::make_unique<PortsFolder>();
    const auto leave = [&](int code) {
        folder.reset();
        std::exit(code);
    };
    PtyDevice device;
    folder->Link(7, device.SlavePath());
    RecordingDialogs dialogs;
    auto frm = std::make_unique<TfrmMain>(dialogs);
    frm->cmbxComPorts->setCurrentIndex(6);
    frm->btnOpenComPort->click();
    if (frm->btnOpenComPort->Tag != 1)
        leave(2);
    std::thread talker([&] {
        for (;;)
            device.Write("chatter");
    });
    talker.detach();
    if (!QTest::qWaitFor([&] { return !Lines(frm->mmLogRec).empty(); }, 60000))
        leave(3);
    corvane::BeginEnding();
    frm.reset();
    leave(0);
}

TEST(SerialEnding, TheProcessEndsCleanlyWithThePortOpen) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child ends with exit() and leaves the application object and the worker standing on
    // purpose, so a leak check there would only count those.
    setenv("LSAN_OPTIONS", "detect_leaks=0", 1);
    // The child, which runs this test again up to here, makes its ports folder in a folder of
    // this test's own, which must be empty again when the child has ended.
    if (!std::getenv("CORVANE_TEST_TMPDIR")) {
        char pattern[] = "/tmp/corvane-ending-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        setenv("CORVANE_TEST_TMPDIR", pattern, 1);
    }
    const std::string folder = std::getenv("CORVANE_TEST_TMPDIR");
    EXPECT_EXIT(EndWhileReceiving(), ::testing::ExitedWithCode(0), "");
    unsetenv("CORVANE_TEST_TMPDIR");
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    std::filesystem::remove_all(folder);
}

// "Show Serial Lines": the bar at the top of the upper pane.
class SerialLinesBar : public SerialLineSettings {
protected:
    TSerialLinesBar* ShowBar() {
        std::unique_ptr<QMenu> menu(frm.SerialLineTools()->MakeMenu(frm.grpbxComPort));
        auto* item = menu->findChild<QAction*>(QStringLiteral("show-serial-lines"));
        EXPECT_NE(item, nullptr);
        if (item) {
            EXPECT_FALSE(item->isChecked());
            item->trigger();
        }
        return frm.SerialLineTools()->LinesBar();
    }
    std::vector<TShape*> Lamps(TSerialLinesBar* bar) {
        return {bar->shpCts, bar->shpDsr, bar->shpDcd, bar->shpRi};
    }
    static ByteString Cp(const char* utf8) { return corvane::ToCodePage(QString::fromUtf8(utf8)); }
};

TEST_F(SerialLinesBar, APseudoTerminalShowsGreyedLampsAndDisabledButtons) {
    TSerialLinesBar* bar = ShowBar();
    EXPECT_FALSE(bar->isHidden());
    EXPECT_TRUE(corvane::Settings().ShowSerialLines());
    Open();
    for (TShape* lamp : Lamps(bar)) {
        EXPECT_EQ(lamp->BrushColor(), TSerialLinesBar::kNone);
        EXPECT_TRUE(lamp->toolTip().contains("no modem lines")) << lamp->toolTip().toStdString();
    }
    for (QPushButton* button : {bar->btnDtr, bar->btnRts, bar->btnReset, bar->btnBreak})
        EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(Lines(frm.mmLog), std::vector<ByteString>{msg::kRxStarted}); // nothing failed
}

TEST_F(SerialLinesBar, DrivesAndWatchesTheLinesOfADeviceThatHasThem) {
    corvane::testing::FakeModemLines lines;
    TSerialLinesBar* bar = ShowBar();
    Open();
    EXPECT_TRUE(bar->btnDtr->isChecked());
    EXPECT_TRUE(bar->btnRts->isChecked());
    for (TShape* lamp : Lamps(bar))
        EXPECT_EQ(lamp->BrushColor(), TSerialLinesBar::kOff);

    bar->btnDtr->click();
    EXPECT_EQ(lines.Lines(), TIOCM_RTS);
    bar->btnRts->click();
    EXPECT_EQ(lines.Lines(), 0);
    bar->btnDtr->click();
    bar->btnRts->click();
    EXPECT_EQ(lines.Lines(), TIOCM_DTR | TIOCM_RTS);
    const auto before = lines.Outputs().size();
    bar->btnReset->click();
    bar->btnBreak->click();
    ASSERT_TRUE(WaitFor([&] { return lines.Outputs().size() == before + 4; }));
    const auto outputs = lines.Outputs();
    // DTR low, the break on, DTR high again, the break off.
    EXPECT_EQ(outputs[before].lines, TIOCM_RTS);
    EXPECT_TRUE(outputs[before + 1].onBreak);
    EXPECT_EQ(outputs[before + 2].lines, TIOCM_DTR | TIOCM_RTS);
    EXPECT_FALSE(outputs[before + 3].onBreak);
    EXPECT_GE(outputs[before + 2].when - outputs[before].when, std::chrono::milliseconds(100));
    EXPECT_GE(outputs[before + 3].when - outputs[before + 1].when, std::chrono::milliseconds(250));
    EXPECT_TRUE(bar->btnDtr->isChecked());

    // An input line changes: the lamp follows; with "Log Line Changes" the levels are logged.
    bar->chkbxLogChanges->click();
    const auto changed = std::chrono::steady_clock::now();
    lines.SetInputs(TIOCM_CTS | TIOCM_CD);
    ASSERT_TRUE(WaitFor([&] { return bar->shpCts->BrushColor() == TSerialLinesBar::kOn; }));
    ::testing::Test::RecordProperty(
        "lampMs", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now() - changed)
                                       .count()));
    EXPECT_EQ(bar->shpDcd->BrushColor(), TSerialLinesBar::kOn);
    EXPECT_EQ(bar->shpDsr->BrushColor(), TSerialLinesBar::kOff);
    ASSERT_TRUE(WaitFor([&] { return Has(frm.mmLog, Cp("Линии: CTS=1 DSR=0 DCD=1 RI=0")); }));
    bar->chkbxLogChanges->click();
    lines.SetInputs(TIOCM_DSR | TIOCM_RI);
    ASSERT_TRUE(WaitFor([&] { return bar->shpRi->BrushColor() == TSerialLinesBar::kOn; }));

    auto log = Lines(frm.mmLog);
    log.erase(log.begin()); // the worker's start
    EXPECT_EQ(log, (std::vector<ByteString>{
                       Cp("Линия DTR: 0"), Cp("Линия RTS: 0"), Cp("Линия DTR: 1"),
                       Cp("Линия RTS: 1"), Cp("Сброс: DTR 0 на 100 мс"), Cp("Разрыв линии: 250 мс"),
                       Cp("Линии: CTS=1 DSR=0 DCD=1 RI=0")}));
    frm.btnOpenComPort->click(); // ends the watch while the device is there
    for (QPushButton* button : {bar->btnDtr, bar->btnRts, bar->btnReset, bar->btnBreak})
        EXPECT_FALSE(button->isEnabled());
}

TEST_F(SerialLinesBar, UnderRtsCtsTheRtsButtonShowsTheLevelButIsDisabled) {
    corvane::testing::FakeModemLines lines;
    corvane::SaveLineFrame(7, {8, corvane::Parity::None, corvane::StopBits::One,
                               corvane::FlowControl::RtsCts, true, true});
    TSerialLinesBar* bar = ShowBar();
    Open();
    EXPECT_TRUE(bar->btnRts->isChecked());
    EXPECT_FALSE(bar->btnRts->isEnabled());
    EXPECT_TRUE(bar->btnDtr->isEnabled());
    frm.btnOpenComPort->click();
}

// A write the device holds back lasts up to 100 ms + 10 ms a byte before its time-out ends it.
// Meanwhile the window goes on as ever: clicks, timers and received lines are served at once.
class SerialPanelHeldWrite : public SerialPanel {
protected:
    void SetUp() override {
        SerialPanel::SetUp();
        frm.edtData->setText(QString(kPayloadSize, u'x'));
        frm.chkbxRawData->click();
    }
    // The device sends XOFF to a port with XON/XOFF flow control: its output stops.
    void HoldOutputByXoff() {
        DCB dcb{};
        ASSERT_TRUE(GetCommState(corvane::hComPort, &dcb));
        dcb.fOutX = 1;
        dcb.fInX = 1;
        ASSERT_TRUE(SetCommState(corvane::hComPort, &dcb));
        // The XOFF is taken by the line, not shown; the byte after it shows it has been taken.
        device.Write("\x13"
                     "A");
        ASSERT_TRUE(WaitFor([&] { return Has(frm.mmLogRec, "->  41"); }));
    }
    // The pane's lines for one send: "<- " with the hex view of the payload, then the write's
    // end, which it did not reach.
    static std::vector<ByteString> SendLines() {
        ByteString hex;
        for (int i = 0; i < kPayloadSize; ++i)
            hex += " 78";
        return {"<- " + hex, msg::kSendDataError};
    }

    static constexpr int kPayloadSize = 200; // a time-out of 2.1 s
};

TEST_F(SerialPanelHeldWrite, KeepsTheWindowTurningAndDisablesSendUntilItEnds) {
    Open();
    HoldOutputByXoff();
    frm.btnWriteToPort->click();
    EXPECT_FALSE(frm.btnWriteToPort->isEnabled());
    EXPECT_EQ(Lines(frm.mmLog).back(), SendLines().front());

    // While the write is pending: a timer ticks, a received byte shows, a click runs at once.
    RunTimerPeriods(3);
    device.Write("*");
    ASSERT_TRUE(WaitFor([&] { return Has(frm.mmLogRec, "->  2A"); }));
    frm.btnClearLog->click();
    EXPECT_TRUE(Lines(frm.mmLog).empty());
    EXPECT_FALSE(frm.btnWriteToPort->isEnabled());

    // The time-out ends it: its failure is logged and Send is back.
    ASSERT_TRUE(WaitFor([&] { return frm.btnWriteToPort->isEnabled(); }));
    EXPECT_EQ(Lines(frm.mmLog), std::vector<ByteString>{msg::kSendDataError});
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SerialPanelHeldWrite, ARepetitionSkipsItsTicksWhileAWriteIsPending) {
    Open();
    device.StopTakingOutput();
    StartRepetition(30); // ticks far faster than a write ends
    ASSERT_TRUE(WaitFor([&] { return CountSent(frm.mmLog) >= 2; }));
    EXPECT_TRUE(frm.btnWriteToPort->isEnabled()); // Stop stays within reach
    frm.btnWriteToPort->click();                  // Stop
    ASSERT_TRUE(WaitFor([&] { return frm.btnWriteToPort->isEnabled(); }));
    auto lines = Lines(frm.mmLog);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), msg::kRxStarted);
    lines.erase(lines.begin());
    ASSERT_EQ(lines.size() % 2, 0u);
    for (std::size_t i = 0; i < lines.size(); i += 2) {
        const std::vector<ByteString> pair(lines.begin() + i, lines.begin() + i + 2);
        EXPECT_EQ(pair, SendLines()) << i;
    }
}

TEST_F(SerialPanelHeldWrite, CloseEndsItAtOnceAndDiscardsTheRest) {
    frm.edtData->setText(QString(2000, u'x')); // 20 s before its time-out
    Open();
    HoldOutputByXoff();
    frm.btnWriteToPort->click();
    ASSERT_FALSE(frm.btnWriteToPort->isEnabled());
    const auto start = std::chrono::steady_clock::now();
    frm.btnOpenComPort->click();
    const auto took = std::chrono::steady_clock::now() - start;
    // 100 ms is the aim; the bound leaves room for a loaded machine, far below the time-out.
    EXPECT_LT(took, std::chrono::seconds(2));
    ExpectClosed();
    EXPECT_FALSE(Has(frm.mmLog, msg::kSendDataError));
    EXPECT_EQ(device.ReadAvailable(), "");

    // The port opens again and sends at once.
    device.Write("\x11"); // XON, for whoever reads the line next
    frm.edtData->setText(QStringLiteral("ok"));
    Open();
    frm.btnWriteToPort->click();
    EXPECT_EQ(device.Read(2), "ok");
    EXPECT_TRUE(frm.btnWriteToPort->isEnabled());
}

// "Capture Received Bytes…" in the lower pane's menu: the bytes exactly as the device sent them.
TEST_F(SerialPanel, ReceivedBytesAreCapturedFromTheLowerPanesMenu) {
    const auto item = [&] {
        std::unique_ptr<QMenu> menu(frm.mmLogRec->createStandardContextMenu());
        auto* action = menu->findChild<QAction*>(QStringLiteral("capture-received-bytes"));
        return action ? std::pair(action->text(), action->isChecked())
                      : std::pair(QString(), false);
    };
    std::unique_ptr<QMenu> upper(frm.mmLog->createStandardContextMenu());
    EXPECT_EQ(upper->findChild<QAction*>(QStringLiteral("capture-received-bytes")), nullptr);

    QTemporaryDir folder;
    const QString path = folder.filePath("received.bin");
    dialogs.fileAnswer = Dialogs::FileChoice{path, false};
    Open();
    {
        std::unique_ptr<QMenu> menu(frm.mmLogRec->createStandardContextMenu());
        menu->findChild<QAction*>(QStringLiteral("capture-received-bytes"))->trigger();
    }
    EXPECT_EQ(item(), std::pair("Capture Received Bytes: " + path, true));
    const ByteString sent("\x00\r\n\xFF line\r\n", 11);
    device.Write(sent);
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(path).size() == 11; }));
    frm.Tools()->ToggleReceivedBytesCapture();
    EXPECT_EQ(item(), std::pair(QString::fromUtf8("Capture Received Bytes…"), false));
    device.Write("not captured");
    ASSERT_TRUE(WaitFor([&] {
        return frm.mmLogRec->toPlainText().contains("6E 6F 74 20 63 61 70 74 75 72 65 64");
    }));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), sent);
    EXPECT_TRUE(dialogs.errors.empty());
}

} // namespace

// The worker hands a read's frames over together, each with its bytes: the plot reads each
// frame's numbers, in the lines' order, from the bytes beside its line.
TEST_F(SerialPanel, APlotReadsTheNumbersOfEachFrameOfARead) {
    struct Restore {
        TSplitMenu* menu;
        ~Restore() { menu->Choose({}); }
    } restore{frm.Tools()->Split()};
    frm.Tools()->Split()->Choose({.end = corvane::SplitRule::End::AfterByte, .endByte = '\n'});
    frm.Tools()->Plot()->Open();
    TPlotWindow* plot = frm.Tools()->Plot()->Window();
    ASSERT_NE(plot, nullptr);
    Open();
    device.Write("a=1 2\nb=3\na=4 5\n");
    ASSERT_TRUE(WaitFor([&] { return Lines(frm.mmLogRec).size() == 3; }));
    plot->Settle();
    std::vector<std::pair<std::string, std::vector<double>>> read;
    for (const auto& series : plot->Series().All()) {
        read.emplace_back(series.name, std::vector<double>{});
        for (const corvane::PlotSample& sample : series.samples)
            read.back().second.push_back(sample.value);
    }
    EXPECT_EQ(read, (std::vector<std::pair<std::string, std::vector<double>>>{
                        {"a", {1, 4}}, {"1", {2, 5}}, {"b", {3}}}));
    plot->close();
}

// "Split Received Data" in the lower pane's menu: remembered per COM number, followed by the
// worker of the open port from the moment it is chosen.
TEST_F(SerialPanel, ReceivedDataIsSplitAsChosenForThePort) {
    const auto choose = [&](const char* name) {
        std::unique_ptr<QMenu> menu(frm.mmLogRec->createStandardContextMenu());
        auto* action = menu->findChild<QAction*>(QLatin1String(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    };
    const auto checked = [&](const char* name) {
        std::unique_ptr<QMenu> menu(frm.mmLogRec->createStandardContextMenu());
        auto* action = menu->findChild<QAction*>(QLatin1String(name));
        return action && action->isChecked();
    };
    // The window's settings live as long as the test program: COM7's rule is put back.
    struct Restore {
        TSplitMenu* menu;
        ~Restore() { menu->Choose({}); }
    } restore{frm.Tools()->Split()};
    EXPECT_TRUE(checked("split-each-read"));
    Open();
    dialogs.textAnswer = QStringLiteral("3b");
    choose("split-after-byte");
    EXPECT_EQ(dialogs.textQuestions.back(), "Byte that ends a line, in hex:");
    EXPECT_TRUE(checked("split-after-byte"));
    device.Write("ab;cd;");
    ASSERT_TRUE(WaitFor([&] { return Has(frm.mmLogRec, "->  63 64 3B"); }));
    EXPECT_EQ(Lines(frm.mmLogRec), (std::vector<ByteString>{"->  61 62 3B", "->  63 64 3B"}));

    // A value that does not read leaves the rule as it was.
    dialogs.textAnswer = QStringLiteral("0");
    choose("split-every-n");
    EXPECT_FALSE(checked("split-every-n"));
    frm.btnOpenComPort->click();
    ASSERT_TRUE(WaitFor([] { return !corvane::RxThreadRegistered(); }));

    // Another port has its own rule; COM7's comes back with it.
    frm.cmbxComPorts->setCurrentIndex(7);
    EXPECT_TRUE(checked("split-each-read"));
    frm.cmbxComPorts->setCurrentIndex(6);
    EXPECT_TRUE(checked("split-after-byte"));
}
