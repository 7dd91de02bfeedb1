// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A sysfs tree and a by-id folder of the test's own, laid out as the kernel and udev lay out the
// real ones, with the character devices of pseudo-terminals standing in for the adapters' ttys.
// CORVANE_SYSFS_DIR and CORVANE_BY_ID_DIR name it for the fixture's life.

#include <string>

namespace corvane::testing {

struct FakeAdapter {
    std::string tty;        // its name, ttyUSB0 or ttyACM0
    std::string driver;     // ftdi_sio, cdc_acm, ...
    bool driverOnInterface; // a CDC ACM driver serves the interface, not a port device below it
    std::string vendorId, productId, manufacturer, product, serial;
    std::string byId; // the by-id link's name
};

// A common USB adapter, as its sysfs and udev describe it.
inline const FakeAdapter kFtdi{"ttyUSB0",
                               "ftdi_sio",
                               false,
                               "0403",
                               "6001",
                               "FTDI",
                               "FT232R USB UART",
                               "A50285BI",
                               "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"};

class FakeSysfs {
public:
    FakeSysfs();
    ~FakeSysfs();
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    const std::string& Sysfs() const { return sysfs_; }
    const std::string& ByIdFolder() const { return byId_; }

    // Enters the USB adapter whose tty is the character device at devicePath, on USB port usbPort
    // (1-2, say) of a root hub that has ids of its own.
    void AddUsbAdapter(const std::string& devicePath, const std::string& usbPort,
                       const FakeAdapter& adapter) const;
    // Enters a tty the kernel serves itself, with no device behind it (as a virtual console).
    void AddVirtualTty(const std::string& devicePath, const std::string& name) const;

private:
    std::string root_, sysfs_, byId_;
};

} // namespace corvane::testing
