// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/errordisplay.h"

#include "console/dialogs.h"
#include "core/exception.h"

ErrorDisplay::ErrorDisplay(Dialogs& dialogs, std::function<Clock::time_point()> now)
    : dialogs_(dialogs), now_(std::move(now)) {}

corvane::ByteString ErrorDisplay::BoxText(const corvane::ByteString& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + '.';
    return message;
}

void ErrorDisplay::Run(const void* sender, Source kind, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const corvane::Exception& e) {
        Show(sender, kind, e.Message());
    } catch (const std::exception& e) {
        Show(sender, kind, e.what());
    }
}

void ErrorDisplay::Show(const void* sender, Source kind, const corvane::ByteString& message) {
    if (kind == Source::Event) {
        dialogs_.ShowError(BoxText(message));
        return;
    }
    SourceState& state = sources_[sender];
    if (state.boxOpen || now_() < state.quietUntil)
        return;
    state.boxOpen = true;
    // The box runs the event loop, which may re-enter Show for this sender.
    dialogs_.ShowError(BoxText(message));
    state.boxOpen = false; // map entries stay where they are while others are added
    state.quietUntil = now_() + kQuietPeriod;
}
