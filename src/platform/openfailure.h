// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a serial device would not open, and which other program holds a device: what the operator
// needs to put right what CreateFileA only calls a failure. Nothing here opens the device; it looks
// at the node, its UUCP lock file and the processes that have it open (/proc). Any thread.

#include "platform/windef.h"

#include <string>

namespace corvane {

enum class OpenFailureCause {
    Missing,       // nothing at the path
    Refused,       // the user may not open it, or may not enter a folder on the way to it
    Held,          // another program has it
    LeftExclusive, // a pty's exclusive flag outlived the program that set it
    NotSerial,     // a folder, a file, a FIFO: nothing a port can be opened on
    Other,
};

// What would give a refused user the rights: joining the group of what refused them, logging in
// again (the user is in that group, the session began before), or nothing a group can do.
enum class RightsAdvice { None, JoinGroup, LogInAgain };

struct OpenFailure {
    OpenFailureCause cause = OpenFailureCause::Other;
    // The path the port leads to, links followed as far as they go.
    std::string device;
    // Refused: what refused the user, the device or the folder on the way to it this user may not
    // enter, with its owner and group by name where they have one and its mode as ls shows it
    // ("crw-rw----").
    std::string refused;
    std::string owner;
    std::string group;
    std::string mode;
    RightsAdvice advice = RightsAdvice::None;
    // Held: "ModemManager, PID 812"; empty where no holder can be found (another user's process,
    // for an unprivileged user).
    std::string holder;
};

// Why CreateFileA on COM<number> failed with error, its last error, a moment ago.
// ERROR_SHARING_VIOLATION is the open's word for a tty's exclusive flag that nobody this user can
// see holds.
OpenFailure ExplainOpenFailure(unsigned number, DWORD error);

// Whether a process other than this one has the character device at device open, claimed or not
// (the program at the far end of a pseudo-terminal does not count, as below). Only the processes
// this user may look into are seen: all of them for root, this user's own for anyone else.
bool OpenElsewhere(const std::string& device);

// Whether a process other than this one has the character device at device open, claimed or not
// (the program at the far end of a pseudo-terminal does not count, as below). Only the processes
// this user may look into are seen: all of them for root, this user's own for anyone else.
bool OpenElsewhere(const std::string& device);

// Whether this process's user may read and write device, by its rights alone (whether another
// program holds it is not asked); true also where that cannot be told.
bool MayOpen(const std::string& device);

// A program other than this one that holds device now, in the words above: the live owner of
// the device's lock file, else a process with the device open (not counting the program at the
// far end of a pseudo-terminal, which is the device). Empty when there is none.
std::string OtherHolder(const std::string& device);

} // namespace corvane
