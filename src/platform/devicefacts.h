// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which device a path leads to, as the system describes it: for the port list's tooltips, so that
// one USB adapter can be told from another. Nothing here opens the device, so reading the facts of
// a port another program holds disturbs nobody. The facts come from libudev (Debian's libudev)
// and, where udev keeps none (containers, pseudo-terminals, a tree the tests made), straight from
// the sysfs attributes udev reads itself. Any thread; a call can take milliseconds (it walks sysfs
// and the by-id folder), so the UI thread leaves it to a worker.

#include <optional>
#include <string>

namespace corvane {

struct DeviceFacts {
    std::string device; // the device node, links followed: /dev/ttyUSB0
    // Each empty where the system does not know it.
    std::string byId;         // the link in /dev/serial/by-id that leads to it
    std::string vendorId;     // USB vendor id, four hex digits
    std::string productId;    // USB product id, four hex digits
    std::string manufacturer; // the USB strings
    std::string product;
    std::string serial;
    std::string driver; // the kernel driver: ftdi_sio, cp210x, cdc_acm, serial8250, ...
};

// Where the facts are read. The real system by default; tests (and the guide's picture) point the
// sysfs root and the by-id folder at trees of their own through CORVANE_SYSFS_DIR and
// CORVANE_BY_ID_DIR. libudev always reads the real /sys, so it is asked only when the sysfs root
// is the real one.
struct FactSources {
    std::string sysfs = "/sys";
    std::string byIdFolder = "/dev/serial/by-id";
    bool useUdev = true;
};
FactSources DefaultFactSources();

// The facts of the device path leads to; nullopt when no device is there now.
std::optional<DeviceFacts> ReadDeviceFacts(const std::string& path, const FactSources& sources);

// Only the sysfs reading, and only the libudev one (nullopt also where libudev knows nothing of
// the device): the two ways ReadDeviceFacts combines, for the tests to hold side by side.
std::optional<DeviceFacts> ReadSysfsFacts(const std::string& path, const FactSources& sources);
std::optional<DeviceFacts> ReadUdevFacts(const std::string& path, const FactSources& sources);

} // namespace corvane
