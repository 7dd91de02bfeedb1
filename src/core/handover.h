// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way work moves from a worker thread to the UI thread. A worker hands a piece of work
// over and blocks until the UI thread has run it; an exception the work raised is raised again in
// the worker. The UI thread runs hand-overs from its event loop (modal boxes included) and while it
// waits for a worker to end. From the start of the program's ending, hand-overs are dropped and no
// caller waits.

#include <functional>

namespace corvane {

// Makes the calling thread the UI thread and lets its Qt event loop run hand-overs. Called once,
// after the application object exists.
void InstallHandOver();

bool IsUiThread();

// Runs work on the UI thread and returns when it has run there. On the UI thread itself it runs at
// once. Dropped, without waiting, once the ending has begun.
void Synchronize(const std::function<void()>& work);

// Runs every hand-over queued so far. UI thread only.
void CheckSynchronize();

// Blocks the UI thread until done() is true, running hand-overs as they come. done() is tested
// again after every hand-over and after every WakeUiThread().
void ServeHandOversUntil(const std::function<bool()>& done);

// Makes a waiting ServeHandOversUntil test its condition again. Any thread.
void WakeUiThread();

// From now on hand-overs are dropped; any that are queued are released without running.
void BeginEnding();
bool EndingBegun();

} // namespace corvane
