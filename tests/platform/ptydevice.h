// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A pseudo-terminal pair as the device at the far end of a serial port: the test holds the master
// side and reads and writes it as the device would; the port opens the slave side, reached through
// a COM link in a private ports folder.

#include "core/bytestring.h"

#include <string>

namespace corvane::testing {

// A fresh ports folder for this process in $CORVANE_TEST_TMPDIR (a test that must see it go sets
// that), else in the temporary folder ($TMPDIR or /tmp), named by
// CORVANE_PORTS_DIR, with a folder for lock files inside it named by CORVANE_LOCK_DIR, so no test
// touches the machine's lock folder. Removed at destruction.
class PortsFolder {
public:
    PortsFolder();
    ~PortsFolder();
    PortsFolder(const PortsFolder&) = delete;
    PortsFolder& operator=(const PortsFolder&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& LockFolder() const { return locks_; }
    // Points COM<number> at target.
    void Link(unsigned number, const std::string& target) const;

private:
    std::string path_;
    std::string locks_;
};

class PtyDevice {
public:
    // Raw: set up as a device on a serial line would be. AsTheKernelLeavesIt: nobody configured
    // it, so it is in line mode (echo, line editing, signal characters, CR/LF translation), as a
    // USB adapter just plugged in is.
    enum class Line { Raw, AsTheKernelLeavesIt };

    explicit PtyDevice(Line line = Line::Raw);
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    int Master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }

    // Writes every byte, waiting while the pty is full.
    void Write(const ByteString& bytes) const;
    // Reads until size bytes have come, or nothing more came for five seconds.
    ByteString Read(std::size_t size) const;
    // Reads whatever is there now, without waiting.
    ByteString ReadAvailable() const;
    // Suspends the port's output, as a device that has sent XOFF: from now on nothing the port
    // writes gets through.
    void StopTakingOutput() const;
    // Hangs up: the port side then sees the device gone.
    void CloseMaster();
    // The lock file name of the slave device: LCK.. and the device's own name.
    std::string LockName() const;

private:
    int master_ = -1;
    int slave_ = -1; // kept open so the pair lives even while no port has it open
    std::string slavePath_;
};

// The slave side's line settings, read through the master.
struct SlaveLine {
    unsigned iflag, oflag, cflag, lflag;
    unsigned ispeed, ospeed;
};
SlaveLine ReadSlaveLine(int master);

} // namespace corvane::testing
