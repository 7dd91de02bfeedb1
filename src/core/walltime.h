// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The time of a log line: microseconds of wall-clock time since the Unix epoch (UTC), taken where
// the line comes into being (a serial read completing, a datagram arriving, an event), and its
// local-time texts for files and the time column. Safe on any thread.

#include "core/bytestring.h"

#include <cstdint>
#include <ctime>

namespace corvane {

// Microseconds since 1970-01-01T00:00:00Z, from the system's real-time clock.
std::int64_t WallClockNow();

// Local-time texts of line times. The broken-down local time of the last second asked for is
// kept, so a run of lines within one second costs no call into the time-zone code: one object per
// thread (it is not shared).
class LocalTimeText {
public:
    // "2026-12-07T17:07:20.123+01:00": ISO 8601 local time, milliseconds, the offset from UTC.
    // The form of capture files and of saved files with times.
    void AppendIso(ByteString& out, std::int64_t time);
    // "17:07:20.123": the time column and copied lines with times.
    void AppendClock(ByteString& out, std::int64_t time);
    // "2026-12-07 17:07:20.123456": the full local date and time with microseconds.
    void AppendFull(ByteString& out, std::int64_t time);

private:
    // Breaks time's second down into local time, unless it is the second of the last call.
    const std::tm& Local(std::int64_t seconds);

    std::int64_t second_ = INT64_MIN;
    std::tm local_{};
};

} // namespace corvane
