// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the process lets go of at its orderly end. A Windows port ends with its process; a Linux
// tty keeps its exclusive flag while any other descriptor of it is open (the far end of a pty, a
// virtual device), and a lock file stays until someone removes it, so both are undone here.

namespace corvane {

// Closes every serial port still open: each one clears its exclusive flag, gives up its flock,
// discards unsent output and removes its lock file. The handles stay in the table and every call
// on them fails from now on, as on a closed port, so a worker still using one gets only failures.
// Any thread.
void ReleaseOpenPortsAtEnd();

} // namespace corvane
