// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/windowtools.h"

#include "console/dialogs.h"
#include "console/errordisplay.h"
#include "console/filesendbars.h"
#include "console/logpanetools.h"
#include "console/paneviewmenu.h"
#include "console/payloadhistory.h"
#include "console/plotmenu.h"
#include "console/splitmenu.h"
#include "console/udpnetworkmenu.h"
#include "console/untMain.h"
#include "serial/bytecapture.h"

#include <QMenu>
#include <QTimer>

namespace {

PayloadHistory* MakeHistory(QLineEdit* edit, corvane::Settings& settings) {
    const QString field = edit->objectName();
    return new PayloadHistory(
        edit, settings.PayloadHistory(field),
        [&settings, field](const QString& payload) { settings.AddPayload(field, payload); });
}

} // namespace

TWindowTools::TWindowTools(TfrmMain& window, Dialogs& dialogs)
    : QObject(&window), window_(window), dialogs_(dialogs),
      log_(new TLogPaneTools(window.mmLog, dialogs, settings_,
                             [this](const corvane::ByteString& line) { window_.AddToLog(line); })),
      logRec_(
          new TLogPaneTools(window.mmLogRec, dialogs, settings_,
                            [this](const corvane::ByteString& line) { window_.AddToLog(line); })),
      serialHistory_(MakeHistory(window.edtData, settings_)),
      udpHistory_(MakeHistory(window.edtUDPData, settings_)),
      udpNetwork_(new TUdpNetworkMenu(window, dialogs, settings_)),
      fileSendBars_(new TFileSendBars(window.mmLog)),
      serialFileSend_(
          new TFileSending(window, dialogs, settings_, *fileSendBars_, TFileSending::Link::Serial)),
      udpFileSend_(
          new TFileSending(window, dialogs, settings_, *fileSendBars_, TFileSending::Link::Udp)) {
    // Said once, in the upper pane: the choices are kept for this run only.
    settings_.SetOnWriteFailure([this](const corvane::FileError& error) {
        window_.AddToLog(FileFailureText("Settings not saved:", error));
    });
    // Right-clicks on the groups (not on their controls, which have menus of their own).
    for (QWidget* group :
         {static_cast<QWidget*>(window.grpbxUDP), static_cast<QWidget*>(window.grpbxSendToComPort),
          static_cast<QWidget*>(window.grpbxSendToUDPPort)}) {
        group->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(group, &QWidget::customContextMenuRequested, this, [this, group](const QPoint& at) {
            QMenu menu(group);
            FillGroupMenu(group, menu);
            menu.exec(group->mapToGlobal(at));
        });
    }
    connect(window.mmLogRec, &TLogPane::ContextMenuBuilt, this,
            &TWindowTools::AddReceivedBytesItem);
    logView_ = new TPaneViewMenu(window.mmLog, settings_);
    logRecView_ = new TPaneViewMenu(window.mmLogRec, settings_);
    split_ = new TSplitMenu(window.mmLogRec, window.cmbxComPorts, dialogs, settings_);
    plot_ = new TPlotMenu(window, dialogs, settings_);
    // A click on Send sends what the edit holds (or starts repeating it): it is remembered.
    connect(window.btnWriteToPort, &QPushButton::clicked, this,
            [this] { serialHistory_->Remember(); });
    connect(window.btnSendUDP, &QPushButton::clicked, this, [this] { udpHistory_->Remember(); });
}

TWindowTools::~TWindowTools() {
    corvane::ReceivedBytesCapture().Stop();
}

void TWindowTools::FillGroupMenu(const QWidget* group, QMenu& menu) {
    if (group == window_.grpbxUDP)
        udpNetwork_->AddMenuItems(menu);
    else if (group == window_.grpbxSendToComPort)
        serialFileSend_->AddMenuItem(menu);
    else if (group == window_.grpbxSendToUDPPort)
        udpFileSend_->AddMenuItem(menu);
}

void TWindowTools::EndFileSends() {
    for (TFileSending* sending : {serialFileSend_, udpFileSend_}) {
        sending->Cancel();
        sending->WaitForEnd();
    }
}

void TWindowTools::ToggleReceivedBytesCapture() {
    corvane::ByteCapture& capture = corvane::ReceivedBytesCapture();
    if (capture.Capturing()) {
        capture.Stop();
        return;
    }
    const auto choice =
        AskFileInLastFolder(dialogs_, settings_,
                            {.caption = QStringLiteral("Capture Received Bytes"),
                             .folder = {},
                             .filter = QStringLiteral("Binary files (*.bin);;All files (*)"),
                             .offerTimes = false,
                             .includeTimes = false,
                             .offerAppend = true});
    if (!choice)
        return;
    // The failure comes inside the worker's hand-over, which waits until it has run: the box is
    // shown after it, from the event loop (and not at all once this is gone).
    const auto failed = [this](const corvane::FileError& error) {
        QTimer::singleShot(0, this, [this, error] {
            ReportCaptureStopped(
                dialogs_, [this](const corvane::ByteString& line) { window_.AddToLog(line); },
                error);
        });
    };
    if (const auto error = capture.Start(choice->path.toStdString(), failed, choice->append))
        dialogs_.ShowError(ErrorDisplay::BoxText(FileFailureText("Cannot capture to", *error)));
}

void TWindowTools::AddReceivedBytesItem(QMenu* menu) {
    const corvane::ByteCapture& capture = corvane::ReceivedBytesCapture();
    const QString text = capture.Capturing() ? QStringLiteral("Capture Received Bytes: %1")
                                                   .arg(QString::fromStdString(capture.Path()))
                                             : QStringLiteral("Capture Received Bytes…");
    QAction* item = menu->addAction(text, this, [this] { ToggleReceivedBytesCapture(); });
    item->setObjectName(QStringLiteral("capture-received-bytes"));
    item->setCheckable(true);
    item->setChecked(capture.Capturing());
}
