// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// COM7 led to a pseudo-terminal for the test's life, and the shared port state put back as the
// window found it once the test is over.

#include "ptydevice.h"
#include "recordingpanes.h"
#include "serial/comport.h"
#include "serial/serialstate.h"
#include "serial/writewait.h"

#include <gtest/gtest.h>

namespace corvane::testing {

class PortFixture : public ::testing::Test {
protected:
    void SetUp() override { folder.Link(7, device.SlavePath()); }
    void TearDown() override {
        if (hComPort != INVALID_HANDLE_VALUE)
            CloseHandle(hComPort);
        EndSerialWrite();
        CloseHandle(WriteOverlapped.hEvent);
        AttachComPort(INVALID_HANDLE_VALUE, nullptr);
    }
    void Open(BYTE number, DWORD baud) { AttachComPort(OpenComPort(panes, number, baud), nullptr); }
    // Runs hand-overs until a write left pending has ended and its lines are in.
    void AwaitWriteEnd() {
        ServeHandOversUntil([] { return !SerialWritePending(); });
    }

    PortsFolder folder;
    PtyDevice device;
    RecordingPanes panes;
};

} // namespace corvane::testing
