// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The signals that ask a program to stop (SIGTERM from a session manager or kill, SIGHUP from a
// closed terminal, SIGINT from Ctrl+C), turned into an orderly end on the UI thread. A signal
// handler may do almost nothing safely, so it only writes a byte into a pipe; the UI thread's
// event loop reads it and does the real work.

#include <functional>

namespace corvane {

// From now on, while the application object lives, SIGTERM, SIGHUP and SIGINT no longer end the
// process at once: each runs end from the UI thread's event loop. A signal ignored when this is
// called stays ignored (the program was started by nohup, say); when the application object goes,
// each signal gets back what it had. Called on the UI thread, after the application object
// exists; a later call replaces end.
void EndOnStopSignals(std::function<void()> end);

} // namespace corvane
