// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a serial device would not open, and which other program holds a device: what the operator
// needs to put right what CreateFileA only calls a failure. Nothing here opens the device; it looks
// at the node, its UUCP lock file and the processes that have it open (/proc). Any thread.

#include "platform/windef.h"

#include <string>

namespace corvane {

enum class OpenFailureCause {
    Missing, // nothing at the path
    Refused, // the user may not open it
    Held,    // another program has it
    Other,
};

struct OpenFailure {
    OpenFailureCause cause = OpenFailureCause::Other;
    // The path the port leads to, links followed as far as they go.
    std::string device;
    // Refused: the group the device belongs to ("dialout" on Debian), by name where it has one.
    std::string group;
    // Held: "ModemManager, PID 812"; empty where no holder can be found (another user's process,
    // for an unprivileged user).
    std::string holder;
};

// Why CreateFileA on COM<number> failed with error, its last error, a moment ago.
OpenFailure ExplainOpenFailure(unsigned number, DWORD error);

// Whether a process other than this one has the character device at device open, claimed or not
// (the program at the far end of a pseudo-terminal does not count, as below). Only the processes
// this user may look into are seen: all of them for root, this user's own for anyone else.
bool OpenElsewhere(const std::string& device);

// A program other than this one that holds device now, in the words above: the live owner of
// the device's lock file, else a process with the device open (not counting the program at the
// far end of a pseudo-terminal, which is the device). Empty when there is none.
std::string OtherHolder(const std::string& device);

} // namespace corvane
