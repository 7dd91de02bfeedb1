// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/walltime.h"

#include <cstdio>
#include <cstdlib>
#include <time.h>

namespace corvane {

namespace {

// Floor division: times before the epoch still break down into a second and a positive fraction.
std::int64_t SecondOf(std::int64_t time) {
    return time >= 0 ? time / 1'000'000 : -((-time + 999'999) / 1'000'000);
}

std::int64_t MicrosecondOf(std::int64_t time) {
    return time - SecondOf(time) * 1'000'000;
}

// Appends value as exactly digits decimal digits.
void AppendDigits(ByteString& out, long value, int digits) {
    char text[16];
    for (int at = digits - 1; at >= 0; --at) {
        text[at] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(text, static_cast<std::size_t>(digits));
}

void AppendDate(ByteString& out, const std::tm& local, char between) {
    AppendDigits(out, local.tm_year + 1900L, 4);
    out += '-';
    AppendDigits(out, local.tm_mon + 1, 2);
    out += '-';
    AppendDigits(out, local.tm_mday, 2);
    out += between;
}

void AppendClockOf(ByteString& out, const std::tm& local) {
    AppendDigits(out, local.tm_hour, 2);
    out += ':';
    AppendDigits(out, local.tm_min, 2);
    out += ':';
    AppendDigits(out, local.tm_sec, 2);
    out += '.';
}

} // namespace

std::int64_t WallClockNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

const std::tm& LocalTimeText::Local(std::int64_t seconds) {
    if (seconds != second_) {
        const auto since = static_cast<time_t>(seconds);
        localtime_r(&since, &local_);
        second_ = seconds;
    }
    return local_;
}

void LocalTimeText::AppendIso(ByteString& out, std::int64_t time) {
    const std::tm& local = Local(SecondOf(time));
    AppendDate(out, local, 'T');
    AppendClockOf(out, local);
    AppendDigits(out, MicrosecondOf(time) / 1000, 3);
    const long offset = local.tm_gmtoff / 60; // minutes east of UTC
    out += offset < 0 ? '-' : '+';
    AppendDigits(out, std::labs(offset) / 60, 2);
    out += ':';
    AppendDigits(out, std::labs(offset) % 60, 2);
}

void LocalTimeText::AppendClock(ByteString& out, std::int64_t time) {
    AppendClockOf(out, Local(SecondOf(time)));
    AppendDigits(out, MicrosecondOf(time) / 1000, 3);
}

void LocalTimeText::AppendFull(ByteString& out, std::int64_t time) {
    const std::tm& local = Local(SecondOf(time));
    AppendDate(out, local, ' ');
    AppendClockOf(out, local);
    AppendDigits(out, MicrosecondOf(time), 6);
}

} // namespace corvane
