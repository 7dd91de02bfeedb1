// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/devicefacts.h"

#include "fakesysfs.h"
#include "ptydevice.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace corvane;
using namespace corvane::testing;

namespace {

const FakeAdapter kAcm{"ttyACM0",      "cdc_acm", true,         "2e8a", "000a",
                       "Raspberry Pi", "Pico",    "E6614103E7", ""};

class DeviceFactsFromSysfs : public ::testing::Test {
protected:
    FakeSysfs tree;
    FactSources sources = DefaultFactSources();
};

TEST_F(DeviceFactsFromSysfs, TheSourcesAreTheTestsTreeAndUdevIsLeftOut) {
    EXPECT_EQ(sources.sysfs, tree.Sysfs());
    EXPECT_EQ(sources.byIdFolder, tree.ByIdFolder());
    EXPECT_FALSE(sources.useUdev);
}

TEST_F(DeviceFactsFromSysfs, AUsbSerialAdapterIsNamedByItsByIdLinkIdsStringsAndDriver) {
    PtyDevice ftdi;
    PtyDevice pico;
    tree.AddUsbAdapter(ftdi.SlavePath(), "1-2", kFtdi);
    tree.AddUsbAdapter(pico.SlavePath(), "1-3", kAcm);

    const auto facts = ReadDeviceFacts(ftdi.SlavePath(), sources);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->device, ftdi.SlavePath());
    EXPECT_EQ(facts->byId, tree.ByIdFolder() + "/" + kFtdi.byId);
    // The adapter's ids, not those of the hub above it.
    EXPECT_EQ(facts->vendorId, "0403");
    EXPECT_EQ(facts->productId, "6001");
    EXPECT_EQ(facts->manufacturer, "FTDI");
    EXPECT_EQ(facts->product, "FT232R USB UART");
    EXPECT_EQ(facts->serial, "A50285BI");
    EXPECT_EQ(facts->driver, "ftdi_sio");

    // A CDC ACM device: the driver sits on the interface; no by-id link was made for it.
    const auto acm = ReadDeviceFacts(pico.SlavePath(), sources);
    ASSERT_TRUE(acm);
    EXPECT_EQ(acm->byId, "");
    EXPECT_EQ(acm->vendorId, "2e8a");
    EXPECT_EQ(acm->product, "Pico");
    EXPECT_EQ(acm->driver, "cdc_acm");
}

TEST_F(DeviceFactsFromSysfs, ReachedThroughLinksTheFactsAreTheDevices) {
    PtyDevice ftdi;
    tree.AddUsbAdapter(ftdi.SlavePath(), "1-2", kFtdi);
    const std::string link = tree.ByIdFolder() + "/" + kFtdi.byId;
    const auto facts = ReadDeviceFacts(link, sources);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->device, ftdi.SlavePath());
    EXPECT_EQ(facts->serial, "A50285BI");
}

TEST_F(DeviceFactsFromSysfs, WhatTheSystemDoesNotKnowStaysEmpty) {
    PtyDevice console;
    PtyDevice bare;
    tree.AddVirtualTty(console.SlavePath(), "tty1");
    for (const PtyDevice* device : {&console, &bare}) {
        const auto facts = ReadDeviceFacts(device->SlavePath(), sources);
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->device, device->SlavePath());
        EXPECT_EQ(facts->byId + facts->vendorId + facts->productId + facts->manufacturer +
                      facts->product + facts->serial + facts->driver,
                  "");
    }
}

TEST_F(DeviceFactsFromSysfs, NoDeviceNoFacts) {
    PtyDevice gone;
    const std::string path = gone.SlavePath();
    tree.AddUsbAdapter(path, "1-2", kFtdi);
    gone.CloseMaster();
    EXPECT_FALSE(ReadDeviceFacts(path, sources));
    EXPECT_FALSE(ReadDeviceFacts(tree.ByIdFolder() + "/" + kFtdi.byId, sources));
    // Not a character device: a folder or a plain file is no port.
    EXPECT_FALSE(ReadDeviceFacts(tree.Sysfs(), sources));
}

// On the machine's own devices libudev and sysfs say the same: /dev/null is always there, the
// others where the machine has them. Both read /sys, which some build chroots leave unmounted.
TEST(DeviceFactsFromUdev, AgreeWithSysfsOnTheMachinesDevices) {
    if (!std::filesystem::exists("/sys/dev/char"))
        GTEST_SKIP() << "sysfs is not mounted on /sys: no device of the machine to compare";
    const FactSources sources;
    if (!std::filesystem::exists(sources.sysfs + "/dev/char"))
        GTEST_SKIP() << "no sysfs mounted at " << sources.sysfs
                     << " (a build chroot?): neither libudev nor sysfs knows any device here";
    ASSERT_TRUE(sources.useUdev);
    int compared = 0;
    for (const char* path :
         {"/dev/null", "/dev/tty", "/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyACM0"}) {
        if (!std::filesystem::exists(path))
            continue;
        const auto udev = ReadUdevFacts(path, sources);
        const auto sysfs = ReadSysfsFacts(path, sources);
        ASSERT_TRUE(udev) << path;
        ASSERT_TRUE(sysfs) << path;
        EXPECT_EQ(udev->device, sysfs->device) << path;
        EXPECT_EQ(udev->driver, sysfs->driver) << path;
        EXPECT_EQ(udev->vendorId, sysfs->vendorId) << path;
        EXPECT_EQ(udev->productId, sysfs->productId) << path;
        EXPECT_EQ(udev->serial, sysfs->serial) << path;
        ++compared;
    }
    EXPECT_GE(compared, 1);
}

} // namespace
