// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a COM port number leads on this machine. COM1-COM32 are /dev/ttyS0-31, COM33-COM64
// /dev/ttyUSB0-31 and COM65-COM96 /dev/ttyACM0-31. A symbolic link named after the port (COM7,
// COM200, ...) in the ports folder points any number at any device and wins over that block. The
// ports folder is $CORVANE_PORTS_DIR when set, else $XDG_CONFIG_HOME/corvane/ports, else
// ~/.config/corvane/ports.

#include <optional>
#include <string>

namespace corvane {

// The port number in "\\.\COMn" or "COMn" (any case of "COM", decimal without leading zeros).
std::optional<unsigned> ParseComPortName(const std::string& name);

std::string ComPortsFolder();

// The path CreateFileA opens for COM<number>: the link in the ports folder if there is one, else
// the block device; empty when the number leads nowhere.
std::string ComPortPath(unsigned number);

// Where COM<number> leads now: its path with every link followed as far as the links go, so a
// link to a by-id name that is missing ends at that name. Empty when the number leads nowhere.
std::string ComPortDevice(unsigned number);

// For people: the device behind COM<number>, with the link it was found through, e.g.
// "/dev/pts/3 (link /home/me/.config/corvane/ports/COM7)", or "no device" when there is none.
std::string DescribeComPort(unsigned number);

} // namespace corvane
