// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

#include "sim/MonitorDescription.h"

namespace fwu::test {

// Small monitors of each kind for tests; each test changes what it is about.
inline screenio::sim::MonitorDescription FilesMonitorDescription() {
    screenio::sim::MonitorDescription description;
    description.product = "TESTPANEL 27";
    description.serial = "F0000001";
    description.kind = screenio::sim::MonitorKind::Files;
    description.restartMs = 2000;
    auto device = [](uint32_t id, const char* name, const char* file, uint32_t version,
                     uint32_t order) {
        screenio::sim::DeviceDescription d;
        d.id = id;
        d.name = name;
        d.fileName = file;
        d.recordSize = 1024;
        d.recordCount = 2;
        d.version = version;
        d.displayOrder = order;
        return d;
    };
    description.devices = {device(0, "Scaler", "PRG000", 0x0102, 3),
                           device(1, "USB hub", "PRG001", 7, 1),
                           device(2, "Panel", "PRG002", 21, 2), device(3, "Boot", "PRG003", 4, 0)};
    return description;
}

inline screenio::sim::MonitorDescription LegacyMonitorDescription() {
    screenio::sim::MonitorDescription description;
    description.product = "OLDPANEL 24";
    description.serial = "L0000001";
    description.kind = screenio::sim::MonitorKind::Legacy;
    // The five legacy devices; their files hold 8 records of 512 bytes.
    const struct {
        uint32_t id;
        const char* name;
        const char* file;
        uint32_t version;
    } devices[] = {{0x100, "Main/System", "PRG000", 105},
                   {0x101, "Sub/Controller", "PRG001", 103},
                   {0x500, "DP/FrontEnd", "INP027", 210},
                   {0x400, "Font", "AIC653", 3},
                   {0x600, "FPGA", "AIC904", 0x10A}};
    for (const auto& d : devices) {
        screenio::sim::DeviceDescription device;
        device.id = d.id;
        device.name = d.name;
        device.fileName = d.file;
        device.version = d.version;
        device.hexVersion = d.id == 0x600;
        description.devices.push_back(device);
    }
    return description;
}

inline screenio::sim::MonitorDescription MStarMonitorDescription() {
    screenio::sim::MonitorDescription description;
    description.product = "SCALERPANEL";
    description.serial = "M0000001";
    description.kind = screenio::sim::MonitorKind::MStar;
    screenio::sim::DeviceDescription scaler;
    scaler.id = 0x100;
    scaler.name = "Main/System";
    scaler.version = 105;
    scaler.address = 0x20000;
    scaler.flagAddress = 0xF0000;
    description.devices = {scaler};
    return description;
}

inline screenio::sim::MonitorDescription ZvMonitorDescription() {
    screenio::sim::MonitorDescription description;
    description.product = "ZVPANEL 32";
    description.serial = "Z0000001";
    description.kind = screenio::sim::MonitorKind::ZV;
    auto device = [](uint32_t id, const char* name, uint32_t address, uint8_t flag,
                     uint32_t order) {
        screenio::sim::DeviceDescription d;
        d.id = id;
        d.name = name;
        d.address = address;
        d.updateFlagIndex = flag;
        d.displayOrder = order;
        d.version = 100 + id;
        return d;
    };
    description.devices = {device(0x10, "Main", 0x00000, 0, 2), device(0x11, "Sub", 0x40000, 1, 0),
                           device(0x12, "Touch", 0x80000, 5, 1)};
    return description;
}

}  // namespace fwu::test
