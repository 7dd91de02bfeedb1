// SPDX-License-Identifier: GPL-3.0-or-later
// The UDP panel: opening and closing the endpoint, sending once or at the interval of the spin
// edit, and showing every received datagram in the lower pane.
#include "console/untMain.h"

#include "console/windowtools.h"
#include "core/codepage.h"
#include "core/inttext.h"
#include "core/logarrows.h"
#include "payload/hexcodec.h"
#include "udp/hostport.h"

using corvane::ByteString;

namespace {

// "Потеряно датаграмм при приёме: " (the count follows)
const ByteString kDatagramsLost =
    "\xCF\xEE\xF2\xE5\xF0\xFF\xED\xEE \xE4\xE0\xF2\xE0\xE3\xF0\xE0\xEC\xEC "
    "\xEF\xF0\xE8 \xEF\xF0\xE8\xB8\xEC\xE5: ";

void ShowEndpointState(TfrmMain& form) {
    form.shpUDPPortState->SetBrushColor(form.IdUDPServer1->Active() ? TShape::kGreen
                                                                    : TShape::kRed);
}

void StopRepetition(TfrmMain& form) {
    form.tmrSendUDP->SetEnabled(false);
    form.btnSendUDP->Tag = 0;
    form.btnSendUDP->setText(QStringLiteral("Send"));
}

// One datagram with the payload of the edit line to the typed host; logged only once sent.
void SendOnce(TfrmMain& form) {
    const ByteString text = corvane::ToCodePage(form.edtUDPData->text());
    const ByteString payload =
        form.chkbxRawDataUDP->isChecked() ? text : corvane::HexStrToData(text);
    // "host:port" sends to that port; a host alone to the port of the last Open.
    const corvane::TIdHostPort to =
        corvane::SplitHostPort(corvane::ToCodePage(form.edtHost->text()));
    form.IdUDPServer1->SendDatagram(to.host, to.port.value_or(form.IdUDPServer1->DefaultPort()),
                                    payload);
    form.AddToLog(corvane::kSentArrow + corvane::ToCodePage(form.edtUDPData->text()));
}

} // namespace

void TfrmMain::btnOpenUDPPortClick() {
    if (btnOpenUDPPort->Tag == 0) {
        const std::int32_t port = corvane::StrToInt(corvane::ToCodePage(edtUDPPort->text()));
        IdUDPServer1->SetDefaultPort(port);
        // The endpoint keeps the port of the binding an earlier Open made; the operator means the
        // port typed now, so the kept binding takes it before it is bound again.
        if (!IdUDPServer1->Active() && IdUDPServer1->Bindings().Count() > 0)
            IdUDPServer1->Bindings().Items(0).SetPort(port);
        IdUDPServer1->SetActive(true);
        ShowEndpointState(*this);
        btnOpenUDPPort->Tag = 1;
        btnOpenUDPPort->setText(QStringLiteral("Close"));
        btnSendUDP->setEnabled(true);
    } else {
        // A repetition left running would re-activate the closed endpoint with its next tick.
        StopRepetition(*this);
        // A file being sent sends from the socket: it ends before the socket is closed.
        TFileSending& fileSend = tools_->FileSending(TFileSending::Link::Udp);
        fileSend.Cancel();
        fileSend.WaitForEnd();
        IdUDPServer1->SetActive(false);
        ShowEndpointState(*this);
        btnOpenUDPPort->Tag = 0;
        btnOpenUDPPort->setText(QStringLiteral("Open"));
        btnSendUDP->setEnabled(false);
    }
}

void TfrmMain::chkbxManyTimesUDPClick() {
    ManyTimesUDP = chkbxManyTimesUDP->isChecked();
    spnedtSendTimeUDP->setEnabled(ManyTimesUDP);
}

void TfrmMain::btnSendUDPClick() {
    // A button that reads "Stop" stops, whatever "Many Times" says by now.
    if (btnSendUDP->Tag == 1) {
        StopRepetition(*this);
        return;
    }
    if (!ManyTimesUDP) {
        SendOnce(*this);
        return;
    }
    // The spin edit's value is taken as an unsigned count of milliseconds.
    tmrSendUDP->SetInterval(static_cast<std::uint32_t>(spnedtSendTimeUDP->Value()));
    tmrSendUDP->SetEnabled(true);
    btnSendUDP->Tag = 1;
    btnSendUDP->setText(QStringLiteral("Stop"));
}

void TfrmMain::tmrSendUDPTimer() {
    SendOnce(*this);
}

void TfrmMain::IdUDPServer1UDPRead(corvane::TIdUDPServer&, corvane::Stream& AData,
                                   corvane::TIdSocketHandle& ABinding) {
    ByteString& data = datagram_;
    ByteString& line = datagramLine_;
    data.resize(AData.Size());
    AData.SetPosition(0); // the whole datagram, whatever the position
    AData.Read(data.data(), data.size());
    line.clear();
    line += corvane::kDatagramArrow;
    if (!chkbxOnlyFromThis->isChecked()) {
        line += " (";
        line += ABinding.SenderIP();
        line += ") :";
    }
    corvane::AppendHexView(line, data.data(), data.size());
    // The datagram's arrival, not the handler's call.
    const std::string_view bytes = data;
    AppendReceived(corvane::PlotLink::Udp, ABinding.SenderIP(), line, ABinding.ReceivedAt(),
                   {&bytes, 1});
}

void TfrmMain::IdUDPServer1UDPLoss(corvane::TIdUDPServer&, std::uint64_t ALost) {
    AddToLog(kDatagramsLost + std::to_string(ALost));
}
