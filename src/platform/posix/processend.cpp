// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/processend.h"

#include "platform/posix/handletable.h"
#include "platform/posix/serialport.h"

namespace corvane {

void ReleaseOpenPortsAtEnd() {
    for (const auto& object : posix::OpenObjects()) {
        if (auto port = std::dynamic_pointer_cast<posix::SerialPort>(object))
            port->Close();
    }
}

} // namespace corvane
