#pragma once
// The two log panes as the links see them: the window implements this, tests record the lines.
// Both calls belong to the UI thread; a worker hands its lines over with Synchronize.

#include "core/bytestring.h"

namespace corvane {

class LogPanes {
public:
    virtual ~LogPanes() = default;
    // Appends one line to the upper pane: events, errors and sent data.
    virtual void AddToLog(const ByteString& line) = 0;
    // Appends one line to the lower pane: received data.
    virtual void AddToLogRec(const ByteString& line) = 0;
};

} // namespace corvane
