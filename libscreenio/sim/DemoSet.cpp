// SPDX-License-Identifier: Apache-2.0
#include "sim/DemoSet.h"

#include <unistd.h>

#include <cstdlib>

namespace screenio::sim {
namespace {

DeviceDescription FileDevice(uint32_t id, const char* name, const char* fileName,
                             uint16_t recordSize, uint16_t recordCount, uint32_t version,
                             uint32_t displayOrder, bool hexVersion = false) {
    DeviceDescription device;
    device.id = id;
    device.name = name;
    device.fileName = fileName;
    device.recordSize = recordSize;
    device.recordCount = recordCount;
    device.version = version;
    device.displayOrder = displayOrder;
    device.hexVersion = hexVersion;
    return device;
}

DeviceDescription FlashDevice(uint32_t id, const char* name, uint32_t version, uint32_t address,
                              uint32_t flagAddress, uint8_t updateFlagIndex,
                              uint32_t displayOrder) {
    DeviceDescription device;
    device.id = id;
    device.name = name;
    device.version = version;
    device.address = address;
    device.flagAddress = flagAddress;
    device.updateFlagIndex = updateFlagIndex;
    device.displayOrder = displayOrder;
    return device;
}

// Record-file monitor with the device files; two of its devices are not shown to users.
MonitorDescription FilesMonitor() {
    MonitorDescription monitor;
    monitor.product = "Demo V27Q";
    monitor.serial = "V27Q0001";
    monitor.kind = MonitorKind::Files;
    monitor.devices = {
        FileDevice(0, "Scaler", "SCL000", 4096, 4, 105, 1),
        FileDevice(1, "USB Hub", "HUB000", 1024, 4, 212, 3),
        FileDevice(2, "Power Delivery", "PDC000", 2048, 2, 30, 2),
        FileDevice(3, "Light Sensor", "ALS000", 512, 4, 7, 0),
        FileDevice(4, "Bootloader", "BLD000", 512, 2, 101, 0),
    };
    monitor.restartMs = 3000;
    return monitor;
}

// Record-file monitor without device files: the five legacy devices, versions through the
// older version query (the FPGA reports its version in hexadecimal).
MonitorDescription LegacyMonitor() {
    MonitorDescription monitor;
    monitor.product = "Demo V24F";
    monitor.serial = "V24F0002";
    monitor.kind = MonitorKind::Legacy;
    monitor.devices = {
        FileDevice(0x100, "Main/System", "PRG000", 2048, 4, 105, 0),
        FileDevice(0x101, "Sub/Controller", "PRG001", 1024, 4, 103, 0),
        FileDevice(0x500, "DP/FrontEnd", "INP027", 1024, 2, 210, 0),
        FileDevice(0x400, "Font", "AIC653", 512, 4, 3, 0),
        FileDevice(0x600, "FPGA", "AIC904", 4096, 2, 0x10A, 0, true),
    };
    monitor.latencyUs = 300;  // a slow USB link, so progress can be watched
    monitor.restartMs = 3000;
    return monitor;
}

// Scaler flash through the ISP bridge. It power-cycles by itself after an update, so the demo
// needs no one to press the power button.
MonitorDescription MStarMonitor() {
    MonitorDescription monitor;
    monitor.product = "Demo V32U";
    monitor.serial = "V32U0003";
    monitor.kind = MonitorKind::MStar;
    monitor.flashSize = 0x100000;
    monitor.devices = {
        FlashDevice(0x100, "Scaler", 118, 0x000000, 0x0FE000, 0, 1),
        FlashDevice(0x400, "OSD Font", 4, 0x080000, 0x0FF000, 0, 2),
    };
    monitor.mstarPowerCycleMs = 3000;
    monitor.restartMs = 3000;
    return monitor;
}

// A scaler monitor whose last update was cut short: the scaler's image region was erased and
// never rewritten, so it starts in its boot loader (MCU ISP MODE) until a recovery package
// writes a complete image. Its OSD font is intact.
MonitorDescription RecoveryMonitor() {
    MonitorDescription monitor;
    monitor.product = "Demo V32R";
    monitor.serial = "V32R0005";
    monitor.kind = MonitorKind::MStar;
    monitor.flashSize = 0x100000;
    monitor.devices = {
        FlashDevice(0x100, "Scaler", 118, 0x000000, 0x0FE000, 0, 1),
        FlashDevice(0x400, "OSD Font", 4, 0x080000, 0x0FF000, 0, 2),
    };
    monitor.devices[0].boots = false;
    monitor.mstarPowerCycleMs = 3000;
    monitor.restartMs = 3000;
    return monitor;
}

// Raw flash through the ZV commands, with update flags.
MonitorDescription ZvMonitor() {
    MonitorDescription monitor;
    monitor.product = "Demo V34W";
    monitor.serial = "V34W0004";
    monitor.kind = MonitorKind::ZV;
    monitor.flashSize = 0x200000;
    monitor.devices = {
        FlashDevice(0x100, "Scaler", 120, 0x000000, 0, 0, 1),
        FlashDevice(0x200, "Type-C", 45, 0x100000, 0, 1, 2),
        FlashDevice(0x300, "Audio DSP", 12, 0x180000, 0, 2, 0),
    };
    monitor.restartMs = 3000;
    return monitor;
}

}  // namespace

SimConfig DemoSet::config() {
    SimConfig config;
    config.monitors = {FilesMonitor(), LegacyMonitor(), MStarMonitor(), ZvMonitor(),
                       RecoveryMonitor()};
    config.stateFile = stateFilePath();
    return config;
}

std::string DemoSet::stateFilePath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/screenio-demo.json";
    return "/tmp/screenio-demo-" + std::to_string(getuid()) + ".json";
}

}  // namespace screenio::sim
