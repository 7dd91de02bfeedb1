// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Waiting on the UI thread for something another thread ends (a serial write, say) without
// freezing the window. While the wait lasts the UI thread keeps painting and runs hand-overs,
// posted work and timers, but no user input: clicks and keys stay queued until the wait is over.
// No handler may start meanwhile (a handler is never interrupted): the central error display asks
// UiWaitRunning, skips timer ticks and puts other events off with AfterUiWait.

#include <QObject>

#include <functional>

namespace corvane {

// Runs wait, a call that blocks until another thread ends something. On the UI thread, with an
// event loop, wait runs on a helper thread while the UI thread serves events as said above; an
// exception wait raises is raised again here. Anywhere else, or once the ending has begun, it
// simply calls wait.
void WaitKeepingUiAlive(const std::function<void()>& wait);

// Whether the UI thread is inside WaitKeepingUiAlive. UI thread only.
bool UiWaitRunning();

// Runs work from the UI thread's event loop once every WaitKeepingUiAlive has returned (at the
// next pass when none runs), unless context is destroyed first. UI thread only.
void AfterUiWait(QObject* context, std::function<void()> work);

} // namespace corvane
