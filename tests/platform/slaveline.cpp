// SPDX-License-Identifier: GPL-3.0-or-later
// termios2 comes from the kernel's headers, which clash with <termios.h>: kept apart here.
#include "ptydevice.h"

#include <asm/termbits.h>
#include <stdexcept>
#include <sys/ioctl.h>

namespace corvane::testing {

// On a pty master, the termios ioctls act on the slave's settings.
SlaveLine ReadSlaveLine(int master) {
    termios2 line{};
    if (ioctl(master, TCGETS2, &line) != 0)
        throw std::runtime_error("TCGETS2");
    return {line.c_iflag, line.c_oflag, line.c_cflag, line.c_lflag, line.c_ispeed, line.c_ospeed};
}

} // namespace corvane::testing
