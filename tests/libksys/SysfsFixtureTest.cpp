// SPDX-License-Identifier: Apache-2.0
// The sysfs, module-list and desktop-entry readers against small fake trees, where the content
// is known; the real trees of a container are mostly absent.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/DesktopEntries.h"
#include "platform/KernelModules.h"
#include "platform/PciDisplays.h"
#include "platform/UsbBus.h"

namespace ksys {
namespace {

namespace fs = std::filesystem;

class FakeTree : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("ksys-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    void write(const std::string& relative, const std::string& content) {
        const fs::path path = root_ / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << content;
    }
    void link(const std::string& target, const std::string& relative) {
        const fs::path path = root_ / relative;
        fs::create_directories(path.parent_path());
        fs::create_symlink(target, path);
    }
    std::string root() const { return root_.string(); }

private:
    fs::path root_;
};

using UsbTree = FakeTree;

TEST_F(UsbTree, DevicesAreListedOncePerLocationWithNameFallbacks) {
    const std::string usb = "bus/usb/devices/";
    // A named device.
    write(usb + "1-1/idVendor", "046d\n");
    write(usb + "1-1/idProduct", "c52b\n");
    write(usb + "1-1/bcdDevice", "1211\n");
    write(usb + "1-1/busnum", "1\n");
    write(usb + "1-1/devpath", "1\n");
    write(usb + "1-1/product", "USB Receiver\n");
    // The same location under a second entry: dropped.
    write(usb + "1-1-again/idVendor", "ffff\n");
    write(usb + "1-1-again/busnum", "1\n");
    write(usb + "1-1-again/devpath", "1\n");
    // No product text: named by its device class.
    write(usb + "1-2/idVendor", "0bda\n");
    write(usb + "1-2/busnum", "1\n");
    write(usb + "1-2/devpath", "2\n");
    write(usb + "1-2/bDeviceClass", "09\n");
    // Class left to the interfaces: named by the first interface's class.
    write(usb + "2-1/idVendor", "0781\n");
    write(usb + "2-1/busnum", "2\n");
    write(usb + "2-1/devpath", "1\n");
    write(usb + "2-1/bDeviceClass", "00\n");
    write(usb + "2-1/2-1:1.1/bInterfaceClass", "03\n");
    write(usb + "2-1/2-1:1.0/bInterfaceClass", "08\n");
    // An interface entry and an entry with nothing readable: neither is a device.
    write(usb + "2-1:1.0/bInterfaceClass", "08\n");
    write(usb + "empty/unrelated", "x\n");

    const auto devices = UsbBus::list(root());
    ASSERT_EQ(devices.size(), 3u);
    std::map<std::string, const KSysUSB*> byLocation;
    for (const KSysUSB& device : devices) byLocation[device.location] = &device;
    ASSERT_EQ(byLocation.count("1-1"), 1u);
    ASSERT_EQ(byLocation.count("1-2"), 1u);
    ASSERT_EQ(byLocation.count("2-1"), 1u);
    const KSysUSB& named = *byLocation["1-1"];
    EXPECT_EQ(named.name, "USB Receiver");
    EXPECT_EQ(named.vendorId, 0x046d);  // the first entry in name order keeps the location
    EXPECT_EQ(byLocation["1-2"]->name, "Hub");
    EXPECT_EQ(byLocation["1-2"]->productId, -1);
    EXPECT_EQ(byLocation["2-1"]->name, "Mass Storage");
    EXPECT_EQ(byLocation["2-1"]->vendorId, 0x0781);
}

TEST_F(UsbTree, IdentifiersAreReadAsHexadecimal) {
    write("bus/usb/devices/3-1/idVendor", "046d\n");
    write("bus/usb/devices/3-1/idProduct", "c52b\n");
    write("bus/usb/devices/3-1/bcdDevice", "1211\n");
    const auto devices = UsbBus::list(root());
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].vendorId, 0x046d);
    EXPECT_EQ(devices[0].productId, 0xc52b);
    EXPECT_EQ(devices[0].bcdDevice, 0x1211);
    EXPECT_EQ(devices[0].location, "");
    EXPECT_EQ(devices[0].name, "");
}

TEST_F(UsbTree, MissingBusGivesNoDevices) { EXPECT_TRUE(UsbBus::list(root()).empty()); }

using PciTree = FakeTree;

TEST_F(PciTree, DisplayDevicesWithVendorDriverAndConnectors) {
    const std::string pci = "bus/pci/devices/";
    write(pci + "0000:00:02.0/class", "0x030000\n");
    write(pci + "0000:00:02.0/vendor", "0x8086\n");
    write(pci + "0000:00:02.0/device", "0x46a6\n");
    link("../../../bus/pci/drivers/i915", pci + "0000:00:02.0/driver");
    write(pci + "0000:00:02.0/drm/card0/card0-HDMI-A-1/status", "connected\n");
    write(pci + "0000:00:02.0/drm/card0/card0-eDP-1/status", "connected\n");
    write(pci + "0000:00:02.0/drm/card0/dev", "226:0\n");
    write(pci + "0000:00:02.0/drm/renderD128/dev", "226:128\n");
    write("module/i915/version", "1.6.0\n");
    write(pci + "0000:03:00.0/class", "0x030200\n");
    write(pci + "0000:03:00.0/vendor", "0x1002\n");
    write(pci + "0000:03:00.0/device", "0x73bf\n");
    write(pci + "0000:03:00.0/mem_info_vram_total", "17163091968\n");
    write(pci + "0000:00:1f.3/class", "0x040300\n");  // audio: not listed
    write(pci + "0000:00:1f.3/vendor", "0x8086\n");
    write(pci + "0000:00:05.0/class", "0x030000\n");
    write(pci + "0000:00:05.0/vendor", "0x1af4\n");
    write("pci.ids", "8086  Intel Corporation\n\t46a6  Integrated Graphics\n");

    const auto adapters = PciDisplays::list(root(), {root() + "/missing.ids", root() + "/pci.ids"});
    ASSERT_EQ(adapters.size(), 3u);
    const KSysVGA& intel = adapters[0];
    EXPECT_EQ(intel.deviceLocationID, "0000:00:02.0");
    EXPECT_EQ(intel.vendor, "Intel");
    EXPECT_EQ(intel.name, "Integrated Graphics");
    EXPECT_EQ(intel.driverName, "i915");
    EXPECT_EQ(intel.driverVersion, "1.6.0");
    EXPECT_EQ(intel.vramSize, 0u);
    EXPECT_EQ(intel.monitorPaths, (std::vector<std::string>{"card0-HDMI-A-1", "card0-eDP-1"}));
    EXPECT_EQ(adapters[1].deviceLocationID, "0000:00:05.0");
    EXPECT_EQ(adapters[1].vendor, "");  // not in the vendor table
    const KSysVGA& amd = adapters[2];
    EXPECT_EQ(amd.vendor, "AMD");
    EXPECT_EQ(amd.name, "");
    EXPECT_EQ(amd.driverName, "");
    EXPECT_EQ(amd.vramSize, 16368u);
    EXPECT_TRUE(amd.monitorPaths.empty());
}

using ModuleTree = FakeTree;

TEST_F(ModuleTree, ModulesWithVersionsWhereTheModuleHasOne) {
    write("modules", "nvme 61440 2 - Live 0x0000000000000000\n"
                     "e1000e 331776 0 - Live 0x0000000000000000\n"
                     "\n");
    write("module/e1000e/version", "3.2.6-k\n");
    const auto modules = KernelModules::list(root() + "/modules", root() + "/module");
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_EQ(modules[0].name, "nvme");
    EXPECT_EQ(modules[0].version, "");
    EXPECT_EQ(modules[1].name, "e1000e");
    EXPECT_EQ(modules[1].version, "3.2.6-k");
    EXPECT_TRUE(KernelModules::list(root() + "/absent", root() + "/module").empty());
}

using DesktopTree = FakeTree;

TEST_F(DesktopTree, ApplicationsFromEveryFolderInOrder) {
    write("user/applications/editor.desktop",
          "[Desktop Entry]\nType=Application\nName=My Editor\nX-AppVersion=2.0\n");
    write("user/applications/notes.txt", "[Desktop Entry]\nType=Application\nName=Not me\n");
    write("system/applications/b.desktop", "[Desktop Entry]\nType=Application\nName=Beta\n");
    write("system/applications/a.desktop", "[Desktop Entry]\nType=Application\nName=Alpha\n");
    write("system/applications/link.desktop", "[Desktop Entry]\nType=Link\nName=Site\n");
    const auto apps = DesktopEntries::list(
        {root() + "/user/applications", root() + "/absent", root() + "/system/applications"});
    ASSERT_EQ(apps.size(), 3u);
    EXPECT_EQ(apps[0].name, "My Editor");
    EXPECT_EQ(apps[0].version, "2.0");
    EXPECT_EQ(apps[1].name, "Alpha");
    EXPECT_EQ(apps[2].name, "Beta");
}

}  // namespace
}  // namespace ksys
