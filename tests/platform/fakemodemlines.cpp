// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakemodemlines.h"

#include "platform/posix/ttydevice.h"

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <unistd.h>

namespace corvane::testing {
namespace {

struct Device {
    std::mutex mutex;
    int inputs = 0;
    int outputs = TIOCM_DTR | TIOCM_RTS;
    bool onBreak = false;
    std::vector<FakeModemLines::Output> changes;
    int wake[2] = {-1, -1}; // a byte written at each change of the inputs
    bool waitBegun = false;
    std::condition_variable waitBegins;
};

Device* device = nullptr;

void Record(Device& d) {
    d.changes.push_back({d.outputs, d.onBreak, FakeModemLines::Clock::now()});
}

const posix::ModemLinesSource kSource{
    [](int, int& bits) {
        std::lock_guard lock(device->mutex);
        bits = device->inputs | device->outputs;
        return 0;
    },
    [](int, int bits, bool raised) {
        std::lock_guard lock(device->mutex);
        device->outputs = raised ? device->outputs | bits : device->outputs & ~bits;
        Record(*device);
        return 0;
    },
    [](int, bool on) {
        std::lock_guard lock(device->mutex);
        device->onBreak = on;
        Record(*device);
        return 0;
    },
    [](int, int) {
        {
            std::lock_guard lock(device->mutex);
            device->waitBegun = true;
        }
        device->waitBegins.notify_all();
        char byte;
        return read(device->wake[0], &byte, 1) == 1 ? 0 : errno;
    },
};

} // namespace

FakeModemLines::FakeModemLines() {
    if (device)
        throw std::logic_error("one FakeModemLines at a time");
    device = new Device;
    if (pipe2(device->wake, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2");
    posix::SetModemLinesSource(&kSource);
}

FakeModemLines::~FakeModemLines() {
    posix::SetModemLinesSource(nullptr);
    close(device->wake[0]);
    close(device->wake[1]);
    delete device;
    device = nullptr;
}

void FakeModemLines::SetInputs(int lines) {
    {
        std::lock_guard lock(device->mutex);
        device->inputs = lines & (TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RI);
    }
    const char byte = 1;
    if (write(device->wake[1], &byte, 1) != 1)
        throw std::runtime_error("write");
}

std::vector<FakeModemLines::Output> FakeModemLines::Outputs() const {
    std::lock_guard lock(device->mutex);
    return device->changes;
}

int FakeModemLines::Lines() const {
    std::lock_guard lock(device->mutex);
    return device->outputs;
}

bool FakeModemLines::OnBreak() const {
    std::lock_guard lock(device->mutex);
    return device->onBreak;
}

} // namespace corvane::testing

namespace corvane::testing {

void FakeModemLines::AwaitWaiter() {
    std::unique_lock lock(device->mutex);
    device->waitBegins.wait(lock, [] { return device->waitBegun; });
    device->waitBegun = false;
}

} // namespace corvane::testing
