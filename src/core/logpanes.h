// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two log panes as the links see them: the window implements this, tests record the lines.
//
// Every call belongs to the UI thread. A worker hands its lines over to the UI thread itself
// (Synchronize), once, in the worker; an implementation never hands over again.
//
// Each line carries its time (core/walltime.h): a worker takes it where the line came into being
// (a serial data line when its read completed) and passes it through the hand-over; the
// one-argument calls stamp the line when it is appended (events, the operator's sends).

#include "core/bytestring.h"
#include "core/walltime.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace corvane {

class LogPanes {
public:
    virtual ~LogPanes() = default;
    // Appends one line to the upper pane: events, errors and sent data.
    virtual void AddToLog(const ByteString& line, std::int64_t time) = 0;
    // Appends one line to the lower pane: received data.
    virtual void AddToLogRec(const ByteString& line, std::int64_t time) = 0;
    // Appends lines to the lower pane at once, the ith with times[i]: the frames a worker hands
    // over together, which a pane can follow once rather than line by line. bytes[i] is what the
    // hex view of lines[i] shows, for whoever follows the bytes without reading the view back.
    virtual void AddLinesToLogRec(std::span<const ByteString> lines,
                                  std::span<const std::int64_t> times,
                                  std::span<const std::string_view> bytes) {
        (void)bytes;
        for (std::size_t i = 0; i < lines.size(); ++i)
            AddToLogRec(lines[i], times[i]);
    }

    // The same, stamped now. (An implementation brings them into view with
    // `using LogPanes::AddToLog;`.)
    void AddToLog(const ByteString& line) { AddToLog(line, WallClockNow()); }
    void AddToLogRec(const ByteString& line) { AddToLogRec(line, WallClockNow()); }
};

} // namespace corvane
