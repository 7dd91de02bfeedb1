// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakesysfs.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text << "\n";
}

// /sys/dev/char/<major>:<minor> for the device at path.
fs::path CharEntry(const std::string& sysfs, const std::string& devicePath) {
    struct stat info {};
    if (stat(devicePath.c_str(), &info) != 0)
        throw std::runtime_error("no device at " + devicePath);
    return fs::path(sysfs) / "dev" / "char" /
           (std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev)));
}

// A link as the kernel makes them: relative, from the link's folder to target.
void RelativeLink(const fs::path& target, const fs::path& link) {
    fs::create_directories(link.parent_path());
    fs::create_symlink(fs::relative(target, link.parent_path()), link);
}

} // namespace

FakeSysfs::FakeSysfs() {
    std::string pattern = (fs::temp_directory_path() / "corvane-sysfs-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp");
    root_ = pattern;
    sysfs_ = root_ + "/sys";
    byId_ = root_ + "/by-id";
    fs::create_directories(fs::path(sysfs_) / "dev" / "char");
    fs::create_directories(byId_);
    setenv("CORVANE_SYSFS_DIR", sysfs_.c_str(), 1);
    setenv("CORVANE_BY_ID_DIR", byId_.c_str(), 1);
}

FakeSysfs::~FakeSysfs() {
    unsetenv("CORVANE_SYSFS_DIR");
    unsetenv("CORVANE_BY_ID_DIR");
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void FakeSysfs::AddUsbAdapter(const std::string& devicePath, const std::string& usbPort,
                              const FakeAdapter& adapter) const {
    const fs::path hub = fs::path(sysfs_) / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1";
    fs::create_directories(hub);
    Write(hub / "idVendor", "1d6b"); // the root hub's own ids, which must not be taken
    Write(hub / "idProduct", "0002");
    const fs::path usb = hub / usbPort;
    const fs::path interface = usb / (usbPort + ":1.0");
    fs::create_directories(interface);
    Write(usb / "idVendor", adapter.vendorId);
    Write(usb / "idProduct", adapter.productId);
    Write(usb / "manufacturer", adapter.manufacturer);
    Write(usb / "product", adapter.product);
    Write(usb / "serial", adapter.serial);
    // usb-serial: interface/ttyUSB0 is the port device with the driver, its tty below it.
    // cdc_acm: the interface has the driver, its tty right below it.
    const fs::path served = adapter.driverOnInterface ? interface : interface / adapter.tty;
    const fs::path tty = served / "tty" / adapter.tty;
    fs::create_directories(tty);
    const fs::path driver = fs::path(sysfs_) / "bus" / "usb" / "drivers" / adapter.driver;
    fs::create_directories(driver);
    RelativeLink(driver, served / "driver");
    RelativeLink(served, tty / "device");
    RelativeLink(tty, CharEntry(sysfs_, devicePath));
    if (!adapter.byId.empty())
        fs::create_symlink(devicePath, fs::path(byId_) / adapter.byId);
}

void FakeSysfs::AddVirtualTty(const std::string& devicePath, const std::string& name) const {
    const fs::path tty = fs::path(sysfs_) / "devices" / "virtual" / "tty" / name;
    fs::create_directories(tty);
    RelativeLink(tty, CharEntry(sysfs_, devicePath));
}

} // namespace corvane::testing
