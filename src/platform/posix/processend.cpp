#include "platform/processend.h"

#include "platform/posix/handletable.h"
#include "platform/posix/serialport.h"

void ReleaseOpenPortsAtEnd() {
    for (const auto& object : corvane::posix::OpenObjects()) {
        if (auto port = std::dynamic_pointer_cast<corvane::posix::SerialPort>(object))
            port->Close();
    }
}
