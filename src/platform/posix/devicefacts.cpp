// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/devicefacts.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <libudev.h>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>

namespace corvane {
namespace {

namespace fs = std::filesystem;

struct Node {
    std::string device;
    dev_t number;
};

// The character device path leads to, links followed; nothing when there is none.
std::optional<Node> CharacterDevice(const std::string& path) {
    std::error_code error;
    const fs::path device = fs::canonical(path, error);
    struct stat info {};
    if (error || stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
        return std::nullopt;
    return Node{device.string(), info.st_rdev};
}

// The first line of a sysfs attribute, or empty.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
        line.pop_back();
    return line;
}

// The by-id link that leads to device, found by following each link in the folder (it holds one
// per USB serial device, so a handful).
std::string ByIdLink(const std::string& folder, const std::string& device) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code unresolved;
        if (fs::canonical(it->path(), unresolved) == device && !unresolved)
            return it->path().string();
    }
    return "";
}

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

std::string Text(const char* value) {
    return value ? value : "";
}

// By-id links udev made for the device, where its database is there to list them.
std::string ByIdFromUdev(udev_device* device, const std::string& folder) {
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_device_get_devlinks_list_entry(device)) {
        const std::string link = Text(udev_list_entry_get_name(entry));
        if (link.starts_with(folder + "/"))
            return link;
    }
    return "";
}

} // namespace

FactSources DefaultFactSources() {
    FactSources sources;
    if (const char* sysfs = std::getenv("CORVANE_SYSFS_DIR"); sysfs && *sysfs) {
        sources.sysfs = sysfs;
        sources.useUdev = false;
    }
    if (const char* byId = std::getenv("CORVANE_BY_ID_DIR"); byId && *byId)
        sources.byIdFolder = byId;
    return sources;
}

std::optional<DeviceFacts> ReadSysfsFacts(const std::string& path, const FactSources& sources) {
    const auto node = CharacterDevice(path);
    if (!node)
        return std::nullopt;
    DeviceFacts facts;
    facts.device = node->device;
    facts.byId = ByIdLink(sources.byIdFolder, node->device);
    // /sys/dev/char/<major>:<minor> leads to the tty's own folder; "device" in it to the device
    // that serves the tty, whose driver is the one to name (a tty has none of its own).
    const fs::path root = sources.sysfs;
    const fs::path entry =
        root / "dev" / "char" /
        (std::to_string(major(node->number)) + ":" + std::to_string(minor(node->number)));
    std::error_code error;
    const fs::path tty = fs::canonical(entry, error);
    if (error)
        return facts;
    const fs::path driver = fs::read_symlink(tty / "device" / "driver", error);
    if (!error)
        facts.driver = driver.filename().string();
    // The USB device is the nearest folder above that has a vendor id; a tty on no USB bus has
    // none up to the root.
    const fs::path top = fs::canonical(root, error);
    for (fs::path folder = tty; !error && folder != top && folder.has_relative_path();
         folder = folder.parent_path()) {
        if (!fs::exists(folder / "idVendor", error))
            continue;
        facts.vendorId = Attribute(folder / "idVendor");
        facts.productId = Attribute(folder / "idProduct");
        facts.manufacturer = Attribute(folder / "manufacturer");
        facts.product = Attribute(folder / "product");
        facts.serial = Attribute(folder / "serial");
        break;
    }
    return facts;
}

std::optional<DeviceFacts> ReadUdevFacts(const std::string& path, const FactSources& sources) {
    const auto node = CharacterDevice(path);
    if (!node)
        return std::nullopt;
    const std::unique_ptr<udev, UdevDeleter> context(udev_new());
    if (!context)
        return std::nullopt;
    const std::unique_ptr<udev_device, UdevDeleter> tty(
        udev_device_new_from_devnum(context.get(), 'c', node->number));
    if (!tty)
        return std::nullopt;
    DeviceFacts facts;
    facts.device = node->device;
    facts.byId = ByIdFromUdev(tty.get(), sources.byIdFolder);
    if (facts.byId.empty())
        facts.byId = ByIdLink(sources.byIdFolder, node->device);
    // Parents belong to the child: not unreferenced here.
    if (udev_device* served = udev_device_get_parent(tty.get()))
        facts.driver = Text(udev_device_get_driver(served));
    if (udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device")) {
        facts.vendorId = Text(udev_device_get_sysattr_value(usb, "idVendor"));
        facts.productId = Text(udev_device_get_sysattr_value(usb, "idProduct"));
        facts.manufacturer = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
        facts.product = Text(udev_device_get_sysattr_value(usb, "product"));
        facts.serial = Text(udev_device_get_sysattr_value(usb, "serial"));
    }
    return facts;
}

std::optional<DeviceFacts> ReadDeviceFacts(const std::string& path, const FactSources& sources) {
    if (sources.useUdev) {
        if (auto facts = ReadUdevFacts(path, sources))
            return facts;
    }
    return ReadSysfsFacts(path, sources);
}

} // namespace corvane
