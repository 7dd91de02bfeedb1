// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// UUCP lock files, the convention the Linux serial tools share (minicom, picocom, cu,
// ModemManager's helpers): a device is held by whoever owns /run/lock/LCK..<device name>, a file
// holding the owner's PID as ten ASCII characters, right-aligned, and a line feed. Programs that
// open a device plainly (no TIOCEXCL, no flock) still keep to it.

#include "platform/windef.h"

#include <string>

namespace corvane::posix {

// The folder lock files are in: $CORVANE_LOCK_DIR when set (tests point it at a folder of their
// own), else /run/lock or /var/lock, whichever first exists; empty when neither does, and then no
// lock is looked for or taken.
std::string LockFolder();

// The live process whose lock file holds the device behind devicePath; 0 when none does.
int LockOwner(const std::string& devicePath);

// The lock on one device, held from Acquire until Release or destruction.
class PortLock {
public:
    PortLock() = default;
    ~PortLock() { Release(); }
    PortLock(PortLock&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
    PortLock& operator=(PortLock&&) = delete;
    PortLock(const PortLock&) = delete;

    // Takes the lock for the device behind devicePath (links followed, so every name of one device
    // shares one lock). A lock file naming a live process, or naming no process at all while it is
    // younger than a few seconds (its owner may be writing it this instant), is held:
    // ERROR_ACCESS_DENIED. One naming a process that is gone, or nobody for longer, is stale and is
    // taken over. Ours appears in one step, already written. Where this user may read the folder
    // but not make files in it, the others' locks are still honoured and the call succeeds holding
    // nothing; so it does without a lock folder.
    DWORD Acquire(const std::string& devicePath);
    // Removes the lock file if it is still this process's.
    void Release();

    // The lock file, empty when none is held.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace corvane::posix
