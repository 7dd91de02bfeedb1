// SPDX-License-Identifier: GPL-3.0-or-later
// The serial groups of the main window: opening and closing the COM port, sending the payload of
// the edit line once or at the interval of the spin edit, and the port list's tooltip.
#include "console/untMain.h"

#include "console/portlistfacts.h"
#include "console/seriallinetools.h"
#include "console/windowtools.h"
#include "core/codepage.h"
#include "core/inttext.h"
#include "payload/hexcodec.h"
#include "platform/comports.h"
#include "serial/comport.h"
#include "serial/seriallink.h"
#include "serial/writewait.h"

using corvane::ByteString;

namespace {

// Back to Armed: the timer off, the button reading "Send", the boxes and the spin edit enabled.
void StopRepetition(TfrmMain& form) {
    form.tmrSendSerial->SetEnabled(false);
    form.chkbxManyTimes->setEnabled(true);
    form.chkbxRawData->setEnabled(true);
    form.spnedtSendTime->setEnabled(true);
    form.btnWriteToPort->Tag = 0;
    form.btnWriteToPort->setText(QStringLiteral("Send"));
}

// The text of the edit line as it is now, raw or in hex notation, to the port. While a write the
// device holds back is pending, Send is disabled; Stop stays within reach. A click that comes while
// a chunk of a file being sent is held back finds the port busy and writes nothing, as a tick
// would.
void SendOnce(TfrmMain& form) {
    const ByteString text = corvane::ToCodePage(form.edtData->text());
    const ByteString payload = form.chkbxRawData->isChecked() ? text : corvane::HexStrToData(text);
    if (corvane::SerialWritePending())
        return;
    corvane::SendData(form, payload, [&form](bool) {
        form.btnWriteToPort->setEnabled(form.btnOpenComPort->Tag != 0);
    });
    if (corvane::SerialWritePending() && form.btnWriteToPort->Tag == 0)
        form.btnWriteToPort->setEnabled(false);
}

} // namespace

void TfrmMain::btnOpenComPortClick() {
    if (btnOpenComPort->Tag == 0) {
        const auto baudRate =
            static_cast<DWORD>(corvane::StrToInt(corvane::ToCodePage(cmbxBaudRate->currentText())));
        const auto portNumber = static_cast<BYTE>(cmbxComPorts->currentIndex() + 1);
        if (!corvane::OpenSerialLink(*this, portNumber, baudRate))
            return;
        cmbxComPorts->setEnabled(false);
        cmbxBaudRate->setEnabled(false);
        btnWriteToPort->setEnabled(true);
        shpComPortState->SetBrushColor(TShape::kGreen);
        btnOpenComPort->setText(QStringLiteral("Close"));
        btnOpenComPort->Tag = 1;
    } else {
        // A file being sent ends with the link: the close ends the wait of its write in flight.
        TFileSending& fileSend = tools_->FileSending(TFileSending::Link::Serial);
        fileSend.Cancel();
        corvane::CloseSerialLink();
        fileSend.WaitForEnd();
        // A repetition left running would log a send for a port that is closed at every tick,
        // behind a disabled button that reads "Stop".
        if (btnWriteToPort->Tag != 0)
            StopRepetition(*this);
        cmbxComPorts->setEnabled(true);
        cmbxBaudRate->setEnabled(true);
        btnWriteToPort->setEnabled(false);
        shpComPortState->SetBrushColor(TShape::kRed);
        btnOpenComPort->setText(QStringLiteral("Open"));
        btnOpenComPort->Tag = 0;
    }
}

void TfrmMain::chkbxManyTimesClick() {
    ManyTimesSerial = chkbxManyTimes->isChecked();
    spnedtSendTime->setEnabled(ManyTimesSerial);
}

void TfrmMain::btnWriteToPortClick() {
    if (!ManyTimesSerial) {
        SendOnce(*this);
        return;
    }
    if (btnWriteToPort->Tag != 0) {
        StopRepetition(*this);
        btnWriteToPort->setEnabled(!corvane::SerialWritePending());
        return;
    }
    // The spin edit's value is taken as an unsigned count of milliseconds; the first send comes
    // one interval from now.
    tmrSendSerial->SetInterval(static_cast<std::uint32_t>(spnedtSendTime->Value()));
    tmrSendSerial->SetEnabled(true);
    chkbxManyTimes->setEnabled(false);
    chkbxRawData->setEnabled(false);
    spnedtSendTime->setEnabled(false);
    btnWriteToPort->Tag = 1;
    btnWriteToPort->setText(QStringLiteral("Stop"));
}

void TfrmMain::tmrSendSerialTimer() {
    // A tick while the last write is pending is skipped, not queued behind it.
    if (corvane::SerialWritePending())
        return;
    SendOnce(*this);
}

void TfrmMain::UpdateComPortHint() {
    const int index = cmbxComPorts->currentIndex();
    const auto number = static_cast<unsigned>(index + 1);
    QString hint = QStringLiteral("COM%1: %2")
                       .arg(number)
                       .arg(QString::fromStdString(corvane::DescribeComPort(number)));
    if (const QString facts = portListFacts_->FactsOf(index); !facts.isEmpty())
        hint += '\n' + facts;
    hint += '\n' + serialLines_->FrameHint();
    cmbxComPorts->setToolTip(hint);
    portListFacts_->Refresh();
}
