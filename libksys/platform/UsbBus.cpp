// SPDX-License-Identifier: Apache-2.0
#include "platform/UsbBus.h"

#include <algorithm>
#include <set>

#include "platform/FileSystem.h"
#include "rules/PciIds.h"
#include "rules/UsbClass.h"

namespace ksys {

namespace {

int ReadNumber(const std::string& path, int base) {
    const long value = ParseSysfsNumber(FileSystem::readLine(path), base);
    return value > 0x7fffffffL ? -1 : static_cast<int>(value);
}

// The class of the first interface when the device leaves its class to the interfaces.
std::string FirstInterfaceClass(const std::string& folder, const std::string& device) {
    const auto children = FileSystem::listFolder(folder + "/" + device);
    if (!children) return std::string();
    std::vector<std::string> interfaces;
    for (const std::string& child : *children)
        if (child.compare(0, device.size() + 1, device + ":") == 0) interfaces.push_back(child);
    if (interfaces.empty()) return std::string();
    std::sort(interfaces.begin(), interfaces.end());
    const int code =
        ReadNumber(folder + "/" + device + "/" + interfaces.front() + "/bInterfaceClass", 16);
    return code < 0 ? std::string() : UsbClassDescription(code);
}

}  // namespace

std::vector<KSysUSB> UsbBus::list(const std::string& sysfsRoot) {
    const std::string folder = sysfsRoot + "/bus/usb/devices";
    std::vector<KSysUSB> devices;
    auto entries = FileSystem::listFolder(folder);
    if (!entries) return devices;
    // Sorted, so which of two entries with one location is kept does not depend on the folder.
    std::sort(entries->begin(), entries->end());
    std::set<std::string> seenLocations;
    for (const std::string& entry : *entries) {
        if (entry.find(':') != std::string::npos) continue;  // an interface, not a device
        const std::string base = folder + "/" + entry + "/";
        KSysUSB device;
        device.vendorId = ReadNumber(base + "idVendor", 16);
        device.productId = ReadNumber(base + "idProduct", 16);
        device.bcdDevice = ReadNumber(base + "bcdDevice", 16);
        const std::string bus = FileSystem::readLine(base + "busnum");
        const std::string path = FileSystem::readLine(base + "devpath");
        if (!bus.empty() && !path.empty()) device.location = bus + "-" + path;
        if (device.vendorId < 0 && device.productId < 0 && device.bcdDevice < 0 &&
            device.location.empty())
            continue;
        if (!device.location.empty() && !seenLocations.insert(device.location).second) continue;
        device.name = FileSystem::readLine(base + "product");
        if (device.name.empty()) {
            const int deviceClass = ReadNumber(base + "bDeviceClass", 16);
            if (deviceClass >= 0) device.name = UsbClassDescription(deviceClass);
        }
        if (device.name.empty()) device.name = FirstInterfaceClass(folder, entry);
        devices.push_back(std::move(device));
    }
    return devices;
}

}  // namespace ksys
