// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: every control of the layout as a field of its own name, the handlers bound to
// their events, and the two log panes that the links write to.

#include "console/errordisplay.h"
#include "console/logpane.h"
#include "console/tbutton.h"
#include "console/timage.h"
#include "console/tshape.h"
#include "console/tspinedit.h"
#include "console/tsplitter.h"
#include "console/ttimer.h"
#include "core/logpanes.h"
#include "core/stream.h"
#include "plot/plotlink.h"
#include "udp/idudpserver.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>

#include <functional>
#include <memory>
#include <span>
#include <string_view>

class Dialogs;
class TCounterTools;
class PortListFacts;
class TSerialLineTools;
class TWindowTools;

class TfrmMain : public QMainWindow, public corvane::LogPanes {
    Q_OBJECT

public:
    explicit TfrmMain(Dialogs& dialogs);
    ~TfrmMain() override;

    // LogPanes (UI thread): the line goes to the pane with its time.
    using LogPanes::AddToLog;
    using LogPanes::AddToLogRec;
    void AddToLog(const corvane::ByteString& line, std::int64_t time) override;
    void AddToLogRec(const corvane::ByteString& line, std::int64_t time) override;
    void AddLinesToLogRec(std::span<const corvane::ByteString> lines,
                          std::span<const std::int64_t> times,
                          std::span<const std::string_view> bytes) override;

    // layout
    QWidget* client;
    QFrame* pnlTools;
    QFrame* pnlLog;
    QGroupBox* grpbxLog;
    TLogPane* mmLog;
    TSplitter* Splitter1;
    QFrame* ToolBar1;
    TButton* btnClearLog;
    TLogPane* mmLogRec;
    TImage* imgLogo;

    // serial group
    QGroupBox* grpbxComPort;
    QComboBox* cmbxComPorts;
    QComboBox* cmbxBaudRate;
    TShape* shpComPortState;
    TButton* btnOpenComPort;

    // serial send group
    QGroupBox* grpbxSendToComPort;
    QLineEdit* edtData;
    QCheckBox* chkbxManyTimes;
    TSpinEdit* spnedtSendTime;
    QCheckBox* chkbxRawData;
    TButton* btnWriteToPort;

    // UDP group
    QGroupBox* grpbxSendToUDPPort;
    QGroupBox* grpbxUDP;
    QLineEdit* edtUDPPort;
    TShape* shpUDPPortState;
    QLineEdit* edtHost;
    QCheckBox* chkbxOnlyFromThis;
    TButton* btnOpenUDPPort;
    QLineEdit* edtUDPData;
    QCheckBox* chkbxManyTimesUDP;
    TSpinEdit* spnedtSendTimeUDP;
    QCheckBox* chkbxRawDataUDP;
    TButton* btnSendUDP;

    // non-visual components
    TTimer* tmrSendSerial;
    TTimer* tmrSendUDP;
    // Deactivated in the destructor, before the controls its handler reads are gone.
    std::unique_ptr<corvane::TIdUDPServer> IdUDPServer1;
    QMenuBar* MainMenu1;
    QAction* About1;
    QAction* Exit1;

    // handlers of the window
    void FormCreate();
    void btnClearLogClick();
    void About1Click();
    void Exit1Click();
    void imgLogoClick();

    // handlers of the serial link
    void btnOpenComPortClick();
    void chkbxManyTimesClick();
    void btnWriteToPortClick();
    void tmrSendSerialTimer();
    // Names the device behind the selected port in the port list's tooltip, as it is when the
    // tooltip is about to show, with what the last survey of the ports knew of it.
    void UpdateComPortHint();

    // handlers of the UDP link
    void btnOpenUDPPortClick();
    void chkbxManyTimesUDPClick();
    void btnSendUDPClick();
    void tmrSendUDPTimer();
    // Not bound through the error display: the endpoint drops what this raises.
    void IdUDPServer1UDPRead(corvane::TIdUDPServer& Sender, corvane::Stream& AData,
                             corvane::TIdSocketHandle& ABinding);
    // Datagrams lost on receipt since the last such line: one line in the upper pane.
    void IdUDPServer1UDPLoss(corvane::TIdUDPServer& Sender, std::uint64_t ALost);

    // The user guide's file:// address, which the logo and the About box lead to.
    const corvane::ByteString& GuideAddress() const { return guideAddress_; }

    // The received lines as they go to the lower pane, each with its time, with their link and
    // a datagram's sender, and the bytes each one's hex view shows where the link gave them
    // (none: read them from the lines): what a plot follows. Empty: nobody, and a line costs
    // nothing more.
    using ReceivedTap = std::function<void(
        corvane::PlotLink link, std::string_view sender, std::span<const corvane::ByteString> lines,
        std::span<const std::int64_t> times, std::span<const std::string_view> bytes)>;
    void SetReceivedTap(ReceivedTap tap) { receivedTap_ = std::move(tap); }

    // The panes' tools, the received-bytes capture and the payload recall.
    TWindowTools* Tools() const { return tools_; }
    // The serial line's settings and lines.
    TSerialLineTools* SerialLineTools() const { return serialLines_; }
    // The links' counters in the lamps' tooltips and the counters bar.
    TCounterTools* CounterTools() const { return counters_; }

protected:
    // Opens address with the desktop's default handler; what it does is not reported.
    virtual void ShellOpen(const corvane::ByteString& address);

    // FormClose: every request to close the window asks "Exit?" first.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    // one per group of the layout, in the order CreateControls makes them
    void CreateMenu();
    void CreateLogGroup();
    void CreateSerialGroup();
    void CreateUdpGroup();
    void CreateSerialSendGroup();
    void CreateComponents();
    void BindHandlers();
    void SetTabOrder();
    void LayOutLogGroup();
    int LogGroupMaxTopHeight() const;
    // bytes: what the line's hex view shows, where the link has them at hand.
    void AppendReceived(corvane::PlotLink link, std::string_view sender,
                        const corvane::ByteString& line, std::int64_t time,
                        std::span<const std::string_view> bytes);

    // Connects signal to handler through the central error display.
    template <class Sender, class Signal>
    void Bind(Sender* sender, Signal signal, void (TfrmMain::*handler)(),
              ErrorDisplay::Source kind = ErrorDisplay::Source::Event) {
        connect(sender, signal, this, [this, sender, handler, kind] {
            errors_.Run(sender, kind, [this, handler] { (this->*handler)(); });
        });
    }

    Dialogs& dialogs_;
    ErrorDisplay errors_;
    PortListFacts* portListFacts_ = nullptr; // a child of cmbxComPorts
    corvane::ByteString guideAddress_;
    int mmLogHeight_;            // mmLog's height, as the splitter last left it
    bool sessionEnding_ = false; // only while the desktop's Quit closes the window
    TWindowTools* tools_ = nullptr;
    TSerialLineTools* serialLines_ = nullptr;
    TCounterTools* counters_ = nullptr;
    ReceivedTap receivedTap_;
    // A datagram and its line, kept from datagram to datagram so that one costs no allocation
    // once the longest has been seen. UI thread only.
    corvane::ByteString datagram_;
    corvane::ByteString datagramLine_;
};

// The one main window while it exists.
extern TfrmMain* frmMain;

// Whether the Send buttons start a repetition; set only by the "Many Times" check boxes.
extern bool ManyTimesSerial;
extern bool ManyTimesUDP;
