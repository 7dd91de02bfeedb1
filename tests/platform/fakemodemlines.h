// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A device with modem lines, in place of the driver's, for every port while it lives: no device
// here has lines a test can move (a pty has none). The test moves the device's outputs (the
// port's CTS, DSR, DCD and RI) and reads what the port did with its own (DTR, RTS, break), each
// change with the time it came. The port's wait for a line change blocks in a read of a pipe,
// which a signal interrupts as it does the kernel's wait.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace corvane::testing {

class FakeModemLines {
public:
    using Clock = std::chrono::steady_clock;
    // What the port's own lines were after one of its calls.
    struct Output {
        int lines; // TIOCM_DTR | TIOCM_RTS
        bool onBreak;
        Clock::time_point when;
    };

    // DTR and RTS start raised, no break, every input low. One at a time.
    FakeModemLines();
    ~FakeModemLines();
    FakeModemLines(const FakeModemLines&) = delete;
    FakeModemLines& operator=(const FakeModemLines&) = delete;

    // The levels of the port's inputs: TIOCM_CTS, TIOCM_DSR, TIOCM_CD, TIOCM_RI. Wakes a waiting
    // port.
    void SetInputs(int lines);
    // Every change of the port's own lines so far, oldest first.
    std::vector<Output> Outputs() const;
    int Lines() const;
    bool OnBreak() const;
    // Returns once a port has begun a wait for its inputs since the last return.
    void AwaitWaiter();
};

} // namespace corvane::testing
