// SPDX-License-Identifier: GPL-3.0-or-later
// Line times as text: the local time of a given moment in a given time zone, every field, before
// and after the epoch, and across a change of second within one formatter.
#include "core/walltime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

using namespace corvane;

namespace {

// Sets the process's time zone for one test and puts the old one back.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

// 2026-12-07 17:07:20.123456 UTC.
constexpr std::int64_t kMoment = 1'796'663'240'123'456;

TEST(LocalTimeText, WritesLocalTimeInTheZoneOfTheProcess) {
    const TimeZone zone("XYZ-3"); // three hours east of UTC, no summer time
    LocalTimeText text;
    ByteString out;
    text.AppendIso(out, kMoment);
    EXPECT_EQ(out, "2026-12-07T20:07:20.123+03:00");
    out.clear();
    text.AppendClock(out, kMoment + 1'000'000); // the next second, from the same formatter
    EXPECT_EQ(out, "20:07:21.123");
    out.clear();
    text.AppendFull(out, kMoment);
    EXPECT_EQ(out, "2026-12-07 20:07:20.123456");
}

TEST(LocalTimeText, WritesZonesWestOfUtcAndTimesBeforeTheEpoch) {
    const TimeZone zone("ABC+5:30");
    LocalTimeText text;
    ByteString out;
    text.AppendIso(out, kMoment);
    EXPECT_EQ(out, "2026-12-07T11:37:20.123-05:30");
    out.clear();
    // A quarter second before the epoch is 23:59:59.750 of the day before, in UTC.
    const TimeZone utc("UTC0");
    LocalTimeText fresh;
    fresh.AppendFull(out, -250'000);
    EXPECT_EQ(out, "1969-12-31 23:59:59.750000");
}

TEST(WallClock, ReadsTheSystemsRealTimeInMicroseconds) {
    // The system clock read in full: std::time reads a coarse copy of it that may lag a tick.
    const auto micros = [] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const std::int64_t before = micros();
    const std::int64_t now = WallClockNow();
    const std::int64_t after = micros();
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
}

} // namespace
