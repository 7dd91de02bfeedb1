// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device side of the serial benchmark: the same bytes, written the same way, into a
// pseudo-terminal for every receiver, and what the receiving process spent taking them.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

// 10 MB of pseudo-random bytes, the same in every run.
std::string FeedData();
// 10 MB of text lines of 80 characters, CR LF included, of pseudo-random printable ASCII: what a
// device's console prints. The same in every run.
std::string FeedTextData();

// A pseudo-terminal pair, the device end in raw mode. A receiver opens name, the other end.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // Bytes written to the device end that nobody has read from the other end yet.
    std::size_t Unread() const;

    int master = -1;
    int slave = -1;
    std::string name;
};

struct Receiver {
    pid_t pid;
    // Bytes it has taken so far, given how many were written.
    std::function<std::size_t(std::size_t written)> taken;
    // Once it has taken them all: true when they are on the screen too.
    std::function<bool()> onScreen = [] { return true; };
};

struct FeedFigures {
    double seconds = 0;        // first write until all taken and on screen
    double cpuSeconds = 0;     // the receiver's, without the writing
    double uiCpuSeconds = 0;   // of that, its UI thread's (the window in this process)
    double memoryGrowthMb = 0; // its peak resident size over its size at the start
};

// Writes data into the device end in 64 KiB writes as fast as the pseudo-terminal takes them (it
// holds the writer back while the receiver does not read), while this thread runs the event loop
// (and with it any hand-overs).
FeedFigures Feed(const PtyPair& pty, std::string_view data, const Receiver& receiver);

// Runs the event loop until done() holds, testing it every 5 ms.
void RunUntil(const std::function<bool()>& done);
