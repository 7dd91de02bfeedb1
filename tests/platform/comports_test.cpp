// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/comports.h"

#include "ptydevice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace corvane;
using namespace corvane::testing;

namespace {

TEST(ParseComPortName, TakesTheDeviceNamespaceAndPlainNames) {
    const struct {
        const char* name;
        std::optional<unsigned> number;
    } cases[] = {
        {"\\\\.\\COM1", 1u},
        {"\\\\.\\COM255", 255u},
        {"COM7", 7u},
        {"com12", 12u},
        {"\\\\.\\cOm3", 3u},
        {"COM200", 200u},
        {"COM", std::nullopt},
        {"COM0", std::nullopt},
        {"COM07", std::nullopt},
        {"COM1x", std::nullopt},
        {"COM-1", std::nullopt},
        {"LPT1", std::nullopt},
        {"\\\\?\\COM1", std::nullopt},
        {"COM12345678901", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseComPortName(c.name), c.number) << c.name;
}

TEST(ComPortPath, NumbersMapToDeviceBlocksUnlessALinkSaysOtherwise) {
    PortsFolder folder;
    const struct {
        unsigned number;
        const char* path;
    } blocks[] = {
        {1, "/dev/ttyS0"},
        {32, "/dev/ttyS31"},
        {33, "/dev/ttyUSB0"},
        {64, "/dev/ttyUSB31"},
        {65, "/dev/ttyACM0"},
        {96, "/dev/ttyACM31"},
        {97, ""},
        {255, ""},
    };
    for (const auto& c : blocks)
        EXPECT_EQ(ComPortPath(c.number), c.path) << c.number;

    folder.Link(1, "/dev/pts/42");
    folder.Link(200, "/dev/ttyUSB3");
    EXPECT_EQ(ComPortPath(1), folder.Path() + "/COM1");
    EXPECT_EQ(ComPortPath(200), folder.Path() + "/COM200");
    EXPECT_EQ(ComPortPath(2), "/dev/ttyS1");
}

TEST(ComPortsFolder, FollowsTheEnvironment) {
    PortsFolder folder;
    EXPECT_EQ(ComPortsFolder(), folder.Path());
    unsetenv("CORVANE_PORTS_DIR");
    setenv("XDG_CONFIG_HOME", "/x/config", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(ComPortsFolder(), "/x/config/corvane/ports");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(ComPortsFolder(), "/home/someone/.config/corvane/ports");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ComPortsFolder(), "/home/someone/.config/corvane/ports");
}

TEST(DescribeComPort, NamesTheDeviceAndTheLinkItWasFoundThrough) {
    PortsFolder folder;
    PtyDevice device;
    folder.Link(7, device.SlavePath());
    folder.Link(8, "/dev/nonexistent-corvane-device");
    EXPECT_EQ(DescribeComPort(7), device.SlavePath() + " (link " + folder.Path() + "/COM7)");
    EXPECT_EQ(DescribeComPort(8),
              "/dev/nonexistent-corvane-device (missing) (link " + folder.Path() + "/COM8)");
    EXPECT_EQ(DescribeComPort(40), "/dev/ttyUSB7");
    EXPECT_EQ(DescribeComPort(150), "no device");
}

TEST(ComPortDevice, FollowsEveryLinkAsFarAsTheLinksGo) {
    PortsFolder folder;
    PtyDevice device;
    namespace fs = std::filesystem;
    const fs::path links = folder.Path();
    // COM7 -> by-id/adapter (relative) -> the pty: the device itself.
    fs::create_directory(links / "by-id");
    fs::create_symlink(device.SlavePath(), links / "by-id" / "adapter");
    folder.Link(7, "by-id/../by-id/adapter");
    EXPECT_EQ(ComPortDevice(7), device.SlavePath());
    // An adapter that is not plugged in: the name the last link gives.
    fs::create_symlink("/dev/serial/by-id/usb-corvane-absent", links / "by-id" / "absent");
    folder.Link(8, (links / "by-id" / "absent").string());
    EXPECT_EQ(ComPortDevice(8), "/dev/serial/by-id/usb-corvane-absent");
    // A loop of links ends somewhere on the loop rather than never.
    fs::create_symlink(links / "loop-b", links / "loop-a");
    fs::create_symlink(links / "loop-a", links / "loop-b");
    folder.Link(9, (links / "loop-a").string());
    const std::string end = ComPortDevice(9);
    EXPECT_TRUE(end == (links / "loop-a").string() || end == (links / "loop-b").string()) << end;
    // No link: the block device; no block and no link: nowhere.
    EXPECT_EQ(ComPortDevice(34), "/dev/ttyUSB1");
    EXPECT_EQ(ComPortDevice(150), "");
}

} // namespace
