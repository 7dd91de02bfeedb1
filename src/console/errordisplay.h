// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The central error display: every handler the event loop starts runs through Run, and an
// exception that leaves it is shown in the error box, after which the event loop goes on.
//
// A timer keeps ticking while a box is open, so a tick handler that keeps failing could stack boxes
// without end, or open a new one the instant the last is closed and keep the operator from the
// Stop button. So, per repeating source (a timer): while its box is open, further failures of that
// source are folded into it; and after the box is closed, its failures are folded for
// kQuietPeriod, which leaves the operator time to reach Stop. Other events cannot fail again while
// their box is open (the box disables the window), and every one of their failures is shown.

#include "core/bytestring.h"

#include <chrono>
#include <functional>
#include <map>

class Dialogs;

class ErrorDisplay {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kQuietPeriod{2000};

    explicit ErrorDisplay(Dialogs& dialogs, std::function<Clock::time_point()> now = Clock::now);

    enum class Source { Event, Repeating };

    // Runs handler; an exception that leaves it is shown (or folded, as above) and not rethrown.
    // sender names the control or timer whose event this is. During a wait, handler is kept for
    // later, so it must not refer to the caller's locals.
    void Run(const void* sender, Source kind, const std::function<void()>& handler);

    // The error box's text: a full stop is appended unless the message is empty or its last
    // byte is a full stop or below it (code 46).
    static corvane::ByteString BoxText(const corvane::ByteString& message);

private:
    void Show(const void* sender, Source kind, const corvane::ByteString& message);

    struct SourceState {
        bool boxOpen = false;
        Clock::time_point quietUntil{};
    };

    Dialogs& dialogs_;
    std::function<Clock::time_point()> now_;
    std::map<const void*, SourceState> sources_;
};
