// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line settings an operator chooses for a COM number: the frame (data bits, parity, stop
// bits), the flow control, and the levels DTR and RTS are given at open. Plain data, kept in the
// settings file (core/settings.h) and put on the port by serial/linesettings.h. The defaults are
// the port's specified configuration: 8 data bits, no parity, two stop bits, no flow control, RTS
// and DTR raised.

#include <string>

namespace corvane {

enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };
enum class FlowControl { None, RtsCts, XonXoff };

struct LineFrame {
    int dataBits = 8; // 5 to 8
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::Two;
    FlowControl flow = FlowControl::None;
    bool dtrAtOpen = true;
    bool rtsAtOpen = true;

    bool operator==(const LineFrame&) const = default;
};

// The usual short form with the rate and the flow control: "19200 8E1, RTS/CTS", "9600 7O1.5,
// XON/XOFF"; "19200 8N2" without flow control.
std::string FrameText(unsigned long baudRate, const LineFrame& frame);
// The same with the rate as the operator typed it.
std::string FrameText(const std::string& baudRate, const LineFrame& frame);

} // namespace corvane
