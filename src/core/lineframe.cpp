// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/lineframe.h"

namespace corvane {

std::string FrameText(unsigned long baudRate, const LineFrame& frame) {
    return FrameText(std::to_string(baudRate), frame);
}

std::string FrameText(const std::string& baudRate, const LineFrame& frame) {
    static constexpr char kParityLetters[] = {'N', 'O', 'E', 'M', 'S'};
    static const char* const kStopBits[] = {"1", "1.5", "2"};
    std::string text = baudRate + ' ' + std::to_string(frame.dataBits) +
                       kParityLetters[static_cast<int>(frame.parity)] +
                       kStopBits[static_cast<int>(frame.stopBits)];
    if (frame.flow == FlowControl::RtsCts)
        text += ", RTS/CTS";
    else if (frame.flow == FlowControl::XonXoff)
        text += ", XON/XOFF";
    return text;
}

} // namespace corvane
