// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Back after a re-plug. When the device of an open port hangs up (a board reset, an adapter pulled
// and plugged back), the port's group stays Open and a watcher thread waits for a device at the
// path the port number leads to, resolved anew each time so that a link to a by-id name follows
// the adapter to whatever name it gets. Once a device has stayed there for half a second and no
// other program holds it, the port is opened again on the UI thread with the same number and baud
// rate, as the open step does, with a new receive worker, and "Связь с устройством
// восстановлена: " and the path are logged; where the adapter is another one than went away (its
// USB ids or serial number differ), "Другое устройство: " and what it is follow. A device another
// program holds (a flashing tool), or
// one this user may not open, is left alone and the wait goes on, once said in a line of its own
// for each of the two reasons ("Устройство вернулось, но занято: " or "Устройство вернулось, но
// нет прав на "). UI thread only, except where said.

#include "core/logpanes.h"
#include "platform/commapi.h"

#include <chrono>
#include <functional>

namespace corvane {

class RxThread;

// The open step, after a successful open: the settings a reopen uses, and whether to wait at all
// (the settings file's reconnect, as it is now).
void ArmReplug(LogPanes& panes, BYTE portNumber, DWORD baudRate);

// The close step: no more waiting; a wait that runs ends before this returns.
void DisarmReplug();

// The receive worker's hand-over when its device hung up. If worker serves the open port and
// re-plugging is armed: lets go of the dead port at once (an adapter plugged back then gets its old
// name), asks worker to end and starts the wait.
void WaitForReplug(const RxThread* worker);

// Whether a wait runs now.
bool ReplugWaiting();

// How long a device must stay at the path before it is opened again (half a second), and how often
// the path is looked at where the system reports no devices (five times a second). A thousand
// re-plugs in a test cannot wait that long; the next wait uses what is set here.
struct ReplugTiming {
    std::chrono::milliseconds settle{500};
    std::chrono::milliseconds lookEvery{200};
};
void SetReplugTiming(ReplugTiming timing);

// Runs listener on the UI thread each time a device came back and its port was opened again, so
// that what is shown of the devices (the port list's tooltips) is read anew; nullptr for none.
void OnDeviceBack(std::function<void()> listener);

} // namespace corvane
