// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lines of the open's configuration steps, as they pass to the panes. A step that fails
// because the device has gone (a USB adapter pulled, a pty's far end closed, just as the port
// opened) is no failure of that step: the device's loss is what the operator needs to hear, and
// the receive worker says it once, as for any hang-up. So from the first step that finds the
// device gone, the steps write nothing more. UI thread only.

#include "core/logpanes.h"
#include "platform/commapi.h"

namespace corvane {

class StepLines : public LogPanes {
public:
    explicit StepLines(LogPanes& panes) : panes_(panes) {}
    using LogPanes::AddToLog;
    using LogPanes::AddToLogRec;

    // A step's line, written right after the step failed with its last error still set.
    void AddToLog(const ByteString& line, std::int64_t time) override {
        // The port's word for a device that is gone, as the receive worker reads it too.
        gone_ = gone_ || GetLastError() == ERROR_GEN_FAILURE;
        if (!gone_)
            panes_.AddToLog(line, time);
    }
    void AddToLogRec(const ByteString& line, std::int64_t time) override {
        panes_.AddToLogRec(line, time);
    }

private:
    LogPanes& panes_;
    bool gone_ = false;
};

} // namespace corvane
