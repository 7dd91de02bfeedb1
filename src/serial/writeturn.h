// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One write at a time on the serial port. The operator's sends on the UI thread and the chunks of
// a file sent from a worker share the port and its one write record (WriteOverlapped), and a
// second write while one is pending would be refused: each write takes its turn.

namespace corvane {

// Held for the length of one write.
class SerialWriteTurn {
public:
    // Waits for the writes before it to end; on the UI thread the window stays alive meanwhile
    // (core/uiwait.h). A write's wait is ended by the close of the port, so no turn waits for ever.
    SerialWriteTurn();
    ~SerialWriteTurn();
    SerialWriteTurn(const SerialWriteTurn&) = delete;
    SerialWriteTurn& operator=(const SerialWriteTurn&) = delete;
};

} // namespace corvane
