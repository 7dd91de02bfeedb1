// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/devicewatch.h"

#include <cerrno>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

std::optional<unsigned long long> DeviceNumberAt(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
        return std::nullopt;
    return info.st_rdev;
}

// udev's monitor: its events come from the udev daemon, after it has made the device's node and
// links, so a device it reports is ready to open.
struct DeviceWatch::Monitor {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;

    ~Monitor() {
        if (monitor)
            udev_monitor_unref(monitor);
        if (context)
            udev_unref(context);
    }
    int Fd() const { return monitor ? udev_monitor_get_fd(monitor) : -1; }
};

DeviceWatch::DeviceWatch()
    : monitor_(std::make_unique<Monitor>()), wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    // Without the daemon (its control socket tells) the monitor would stay silent for ever.
    if (access("/run/udev/control", F_OK) != 0)
        return;
    Monitor& m = *monitor_;
    m.context = udev_new();
    if (m.context)
        m.monitor = udev_monitor_new_from_netlink(m.context, "udev");
    if (m.monitor &&
        (udev_monitor_filter_add_match_subsystem_devtype(m.monitor, "tty", nullptr) < 0 ||
         udev_monitor_enable_receiving(m.monitor) < 0)) {
        udev_monitor_unref(m.monitor);
        m.monitor = nullptr;
    }
}

DeviceWatch::~DeviceWatch() {
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

bool DeviceWatch::Wait(int timeoutMs) {
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {monitor_->Fd(), POLLIN, 0}};
    int ready;
    do
        ready = poll(fds, 2, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return false;
    if (fds[0].revents & POLLIN) {
        eventfd_t drained;
        eventfd_read(wakeFd_, &drained);
        return false;
    }
    bool changed = false;
    // Every event queued so far, so one burst of a device's links makes one wake-up.
    while (udev_device* device = udev_monitor_receive_device(monitor_->monitor)) {
        changed = true;
        udev_device_unref(device);
    }
    return changed;
}

void DeviceWatch::Wake() {
    eventfd_write(wakeFd_, 1);
}

} // namespace corvane
