// SPDX-License-Identifier: Apache-2.0
#include "platform/PciDisplays.h"

#include <algorithm>
#include <optional>

#include "platform/FileSystem.h"
#include "rules/PciIds.h"
#include "rules/PciVendor.h"
#include "rules/ProcessText.h"

namespace ksys {

namespace {

// Connectors appear as "card0-HDMI-A-1" inside each "drm/cardN" folder of the device.
std::vector<std::string> ConnectorsOf(const std::string& device) {
    std::vector<std::string> connectors;
    const auto cards = FileSystem::listFolder(device + "/drm");
    if (!cards) return connectors;
    std::vector<std::string> sortedCards = *cards;
    std::sort(sortedCards.begin(), sortedCards.end());
    for (const std::string& card : sortedCards) {
        if (card.compare(0, 4, "card") != 0) continue;
        const auto entries = FileSystem::listFolder(device + "/drm/" + card);
        if (!entries) continue;
        std::vector<std::string> names;
        for (const std::string& entry : *entries)
            if (entry.compare(0, card.size() + 1, card + "-") == 0) names.push_back(entry);
        std::sort(names.begin(), names.end());
        connectors.insert(connectors.end(), names.begin(), names.end());
    }
    return connectors;
}

}  // namespace

std::vector<KSysVGA> PciDisplays::list(const std::string& sysfsRoot,
                                       const std::vector<std::string>& pciIdDatabases) {
    std::vector<KSysVGA> adapters;
    const std::string folder = sysfsRoot + "/bus/pci/devices";
    const auto entries = FileSystem::listFolder(folder);
    if (!entries) return adapters;
    std::vector<std::string> addresses = *entries;
    std::sort(addresses.begin(), addresses.end());
    std::optional<std::string> database;
    for (const std::string& address : addresses) {
        const std::string device = folder + "/" + address;
        const long deviceClass = ParseSysfsNumber(FileSystem::readLine(device + "/class"), 16);
        if (deviceClass < 0 || (deviceClass >> 16) != 0x03) continue;
        const long vendorId = ParseSysfsNumber(FileSystem::readLine(device + "/vendor"), 16);
        const long deviceId = ParseSysfsNumber(FileSystem::readLine(device + "/device"), 16);
        KSysVGA adapter;
        adapter.deviceLocationID = address;
        if (vendorId >= 0) adapter.vendor = PciVendorName(static_cast<unsigned>(vendorId));
        if (vendorId >= 0 && deviceId >= 0) {
            for (std::size_t i = 0; !database && i < pciIdDatabases.size(); ++i)
                database = FileSystem::readFile(pciIdDatabases[i]);
            if (database)
                adapter.name = PciDeviceName(*database, static_cast<unsigned>(vendorId),
                                             static_cast<unsigned>(deviceId));
        }
        if (const auto driver = FileSystem::readLink(device + "/driver")) {
            adapter.driverName = ExecutableBaseName(*driver);
            adapter.driverVersion =
                FileSystem::readLine(sysfsRoot + "/module/" + adapter.driverName + "/version");
        }
        const long long vram =
            ParseSysfsNumber(FileSystem::readLine(device + "/mem_info_vram_total"), 10);
        if (vram > 0) adapter.vramSize = static_cast<unsigned long long>(vram) >> 20;
        adapter.monitorPaths = ConnectorsOf(device);
        adapters.push_back(std::move(adapter));
    }
    return adapters;
}

std::vector<KSysVGA> PciDisplays::list() {
    return list("/sys", {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids"});
}

}  // namespace ksys
