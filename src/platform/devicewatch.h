// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Waiting for serial devices to come and go. Where udev runs, its monitor reports every tty
// device added or removed, and a wait ends at once; where it does not (containers) or for what it
// never reports (pseudo-terminals, links in the ports folder), the waiter looks again when its
// time-out passes, so the time-out is how often the caller checks the paths it cares about.

#include <memory>
#include <optional>
#include <string>

namespace corvane {

// The number of the character device at path, links followed; nullopt when there is none. Two
// devices in turn at one path (a pseudo-terminal, a pulled and plugged adapter) can have the same.
std::optional<unsigned long long> DeviceNumberAt(const std::string& path);

class DeviceWatch {
public:
    DeviceWatch();
    ~DeviceWatch();
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    // Blocks until a tty device comes or goes (true), timeoutMs passes (false; a negative time-out
    // never passes) or Wake is called (false). Events that came before the call end it at once.
    // One waiting thread at a time.
    bool Wait(int timeoutMs);
    // Ends the current or the next Wait. Any thread.
    void Wake();

private:
    struct Monitor;
    std::unique_ptr<Monitor> monitor_;
    int wakeFd_;
};

} // namespace corvane
