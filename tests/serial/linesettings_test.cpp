// SPDX-License-Identifier: GPL-3.0-or-later
// Line settings on a pseudo-terminal, read back from its other side. A pty keeps any rate, the
// stop bits and both flow controls, and refuses data bits below 8 and parity.
#include "serial/linesettings.h"

#include "configfolder.h"
#include "portfixture.h"
#include "serial/messages.h"

#include <gtest/gtest.h>

#include <termios.h>

using namespace corvane;
using namespace corvane::serial;
using namespace corvane::testing;

namespace {

constexpr unsigned kFraming = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

LineFrame Frame(int dataBits, Parity parity, StopBits stopBits, FlowControl flow) {
    return {dataBits, parity, stopBits, flow, true, true};
}

TEST(LineSettings, TheRecordCarriesEveryFrameAndFlowControlBothWays) {
    for (int dataBits = 5; dataBits <= 8; ++dataBits)
        for (const Parity parity :
             {Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space})
            for (const StopBits stop : {StopBits::One, StopBits::OneAndHalf, StopBits::Two})
                for (const FlowControl flow :
                     {FlowControl::None, FlowControl::RtsCts, FlowControl::XonXoff}) {
                    const LineFrame frame = Frame(dataBits, parity, stop, flow);
                    DCB dcb{};
                    PutFrame(dcb, frame, OutputLines{true, false});
                    EXPECT_EQ(FrameOf(dcb, frame), frame) << FrameText(0, frame);
                    EXPECT_EQ(dcb.fDtrControl, DWORD{DTR_CONTROL_ENABLE});
                    EXPECT_EQ(dcb.fRtsControl, flow == FlowControl::RtsCts
                                                   ? DWORD{RTS_CONTROL_HANDSHAKE}
                                                   : DWORD{RTS_CONTROL_DISABLE});
                }
    DCB dcb{};
    PutFrame(dcb, Frame(7, Parity::Even, StopBits::One, FlowControl::XonXoff), {});
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_TRUE(dcb.fOutX && dcb.fInX && !dcb.fOutxCtsFlow);
}

class LineSettingsPort : public PortFixture {
protected:
    ConfigFolder config;
    const ByteString path = ComPortPath(7);
};

TEST_F(LineSettingsPort, TheSavedFrameIsTheOneTheDeviceSeesAtOpen) {
    const struct {
        LineFrame frame;
        unsigned cflag, iflag;
    } cases[] = {
        {Frame(8, Parity::None, StopBits::One, FlowControl::RtsCts), CS8 | CRTSCTS, 0},
        {Frame(8, Parity::None, StopBits::Two, FlowControl::XonXoff), CS8 | CSTOPB, IXON | IXOFF},
        {LineFrame{}, CS8 | CSTOPB, 0},
    };
    for (const auto& c : cases) {
        SaveLineFrame(7, c.frame);
        Open(7, 57600);
        ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(panes.Log().empty()) << FrameText(57600, c.frame);
        const SlaveLine line = ReadSlaveLine(device.Master());
        EXPECT_EQ(line.ospeed, 57600u);
        EXPECT_EQ(line.cflag & kFraming, c.cflag) << FrameText(57600, c.frame);
        EXPECT_EQ(line.iflag & (IXON | IXOFF), c.iflag) << FrameText(57600, c.frame);
        DWORD baud = 0;
        LineFrame held;
        ASSERT_TRUE(ReadLineFrame(hComPort, c.frame, baud, held));
        EXPECT_EQ(held, c.frame);
        EXPECT_EQ(FrameText(baud, held), FrameText(57600, c.frame));
        CloseHandle(hComPort);
        CloseHandle(WriteOverlapped.hEvent);
        AttachComPort(INVALID_HANDLE_VALUE, nullptr);
    }
    // Another COM number has no entry of its own: the specified 8N2.
    EXPECT_EQ(SavedLineFrame(8), LineFrame{});
}

TEST_F(LineSettingsPort, AFrameThePtyRefusesIsLoggedAndTheDriverKeepsWhatItHad) {
    Open(7, 19200);
    ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
    const LineFrame first = Frame(8, Parity::None, StopBits::One, FlowControl::XonXoff);
    ApplyLineFrame(panes, hComPort, path, first);
    EXPECT_TRUE(panes.Log().empty());
    EXPECT_EQ(ReadSlaveLine(device.Master()).iflag & (IXON | IXOFF), unsigned{IXON | IXOFF});

    for (const LineFrame& refused : {Frame(8, Parity::Even, StopBits::One, FlowControl::None),
                                     Frame(7, Parity::None, StopBits::One, FlowControl::None)}) {
        panes.Clear();
        ApplyLineFrame(panes, hComPort, path, refused);
        EXPECT_EQ(panes.Log(), std::vector<ByteString>{kWriteSettingsError + path});
        DWORD baud = 0;
        LineFrame held;
        ASSERT_TRUE(ReadLineFrame(hComPort, refused, baud, held));
        EXPECT_EQ(held, first);
        EXPECT_EQ(FrameText(baud, held), "19200 8N1, XON/XOFF");
    }

    // Refused at the open: the line, and the port open with what the driver had.
    CloseHandle(hComPort);
    CloseHandle(WriteOverlapped.hEvent);
    panes.Clear();
    SaveLineFrame(7, Frame(8, Parity::Even, StopBits::One, FlowControl::None));
    Open(7, 9600);
    ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
    EXPECT_EQ(panes.Log(), std::vector<ByteString>{kWriteSettingsError + path});
    EXPECT_EQ(ReadSlaveLine(device.Master()).cflag & PARENB, 0u);
}

} // namespace
