// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/linesettings.h"

#include "core/settings.h"
#include "serial/messages.h"

namespace corvane {
namespace {

// UI thread only, like everything here.
OutputLines outputLines;

} // namespace

LineFrame SavedLineFrame(BYTE portNumber) {
    return Settings().PortLine(portNumber).value_or(LineFrame{});
}

void SaveLineFrame(BYTE portNumber, const LineFrame& frame) {
    Settings().SetPortLine(portNumber, frame);
}

void PutFrame(DCB& dcb, const LineFrame& frame, OutputLines lines) {
    static constexpr BYTE kParity[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
    static constexpr BYTE kStopBits[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
    dcb.ByteSize = static_cast<BYTE>(frame.dataBits);
    dcb.Parity = kParity[static_cast<int>(frame.parity)];
    dcb.StopBits = kStopBits[static_cast<int>(frame.stopBits)];
    const bool rtsCts = frame.flow == FlowControl::RtsCts;
    const bool xonXoff = frame.flow == FlowControl::XonXoff;
    dcb.fOutxCtsFlow = rtsCts;
    dcb.fOutX = xonXoff;
    dcb.fInX = xonXoff;
    dcb.fDtrControl = lines.dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    if (rtsCts)
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    else
        dcb.fRtsControl = lines.rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
}

LineFrame FrameOf(const DCB& dcb, const LineFrame& atOpen) {
    LineFrame frame = atOpen;
    frame.dataBits = dcb.ByteSize;
    switch (dcb.Parity) {
    case ODDPARITY:
        frame.parity = Parity::Odd;
        break;
    case EVENPARITY:
        frame.parity = Parity::Even;
        break;
    case MARKPARITY:
        frame.parity = Parity::Mark;
        break;
    case SPACEPARITY:
        frame.parity = Parity::Space;
        break;
    default:
        frame.parity = Parity::None;
    }
    frame.stopBits = dcb.StopBits == ONESTOPBIT     ? StopBits::One
                     : dcb.StopBits == ONE5STOPBITS ? StopBits::OneAndHalf
                                                    : StopBits::Two;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        frame.flow = FlowControl::RtsCts;
    else if (dcb.fOutX || dcb.fInX)
        frame.flow = FlowControl::XonXoff;
    else
        frame.flow = FlowControl::None;
    return frame;
}

void SetOutputLinesAtOpen(HANDLE port, const LineFrame& frame) {
    if (frame.flow != FlowControl::RtsCts)
        EscapeCommFunction(port, frame.rtsAtOpen ? SETRTS : CLRRTS);
    EscapeCommFunction(port, frame.dtrAtOpen ? SETDTR : CLRDTR);
    // Under RTS/CTS the driver raises RTS whenever it can take bytes.
    outputLines = {frame.dtrAtOpen, frame.flow == FlowControl::RtsCts || frame.rtsAtOpen};
}

OutputLines CurrentOutputLines() {
    return outputLines;
}

void NoteOutputLines(OutputLines lines) {
    outputLines = lines;
}

void ApplyLineFrame(LogPanes& panes, HANDLE port, const ByteString& path, const LineFrame& frame) {
    DCB dcb{};
    if (!GetCommState(port, &dcb)) {
        panes.AddToLog(serial::kReadSettingsError + path);
        return; // a record made up here would change the rate and the rest
    }
    PutFrame(dcb, frame, outputLines);
    if (!SetCommState(port, &dcb))
        panes.AddToLog(serial::kWriteSettingsError + path);
}

bool ReadLineFrame(HANDLE port, const LineFrame& atOpen, DWORD& baudRate, LineFrame& frame) {
    DCB dcb{};
    if (!GetCommState(port, &dcb))
        return false;
    baudRate = dcb.BaudRate;
    frame = FrameOf(dcb, atOpen);
    return true;
}

} // namespace corvane
