// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/Device.h"
#include "screenio/screenio.h"

namespace screenio::sim {

// Which update protocol a simulated monitor speaks; each offers its own set of usages.
// Whether a search may claim the monitor: as on real hardware, another program may hold it, or
// the system may not let this user open it.
enum class MonitorClaim { Free, Busy, Denied };

enum class MonitorKind {
    // Record-file transfer with the device files KFW000 to KFW003.
    Files,
    // Record-file transfer without device files: the five-device legacy profile, versions
    // through the older device version query (FF00/D8).
    Legacy,
    // Scaler in-system programming through the FF30 bridge to a serial NOR flash; versions
    // through FF00/D8.
    MStar,
    // ZV flash commands (FF01/122 to 124, FF02/110); versions through FF00/D8.
    ZV,
};

// One programmable device inside a monitor.
struct DeviceDescription {
    uint32_t id = 0;            // device ID (Files: its record index in the device files)
    std::string name;           // shown to users (KFW000, the ZV device-information report)
    std::string fileName;       // Files and Legacy: the six-character firmware file it reads
    uint16_t recordSize = 512;  // Files and Legacy: geometry of that firmware file
    uint16_t recordCount = 8;
    uint32_t version = 0;         // version before any update
    uint32_t displayOrder = 0;    // Files and ZV: 0 hides the device, else its place (ascending)
    bool hexVersion = false;      // FF00/D8 writes the version in hexadecimal ("1.0A")
    std::string versionText;      // FF00/D8 replies this text instead of the formatted version
    uint32_t address = 0;         // MStar and ZV: flash address of the device's image
    uint32_t flagAddress = 0;     // MStar: address of the device's 4-byte update marker
    uint8_t updateFlagIndex = 0;  // ZV: index of the device's update flag
    // MStar and ZV: false starts the device without a bootable image (its flash region holds
    // nothing that passes the boot loader's check), so the monitor starts in MCU ISP MODE.
    bool boots = true;
};

// An additional file on a Files or Legacy monitor, for tests of the file operations.
struct FileDescription {
    std::string name;  // six characters
    uint16_t recordSize = 0;
    uint16_t recordCount = 0;
    std::vector<uint8_t> content;  // recordSize * recordCount bytes; shorter is zero-filled
};

// What a fault rule does to the requests it matches.
enum class FaultEffect {
    Fail,             // the request is not carried out; it returns `status`
    WrongEcho,        // a reply names another file, page, device or length than asked for
    CorruptCrc,       // the CRC-32 reply (FF02/FC) is off by one bit
    CorruptChecksum,  // the ZV checksum reply is off by one
    StayBusy,         // the CRC, the ZV command or the flash stays busy until the rule ends
    DropOff,          // the monitor leaves the bus: this and later requests fail with GONE
    FlipBit,          // flash programmed by the request gets one data bit flipped
    PowerCut,         // power fails as the request arrives: it is not carried out, what is
                      // volatile is lost, flash and files stay, and the monitor restarts at once
};

// Fault injection: the requests of one usage (and access) are counted from 1; those numbered
// `first` to `first + count - 1` (all from `first` on when `count` is 0) get the effect.
struct FaultRule {
    uint16_t page = 0;
    uint16_t usage = 0;
    bool anyUsage = false;  // count the requests of every usage (page/usage unused)
    bool anyAccess = true;  // when false, only requests of `access` are counted
    Access access = Access::SetArray;
    uint32_t first = 1;
    uint32_t count = 1;
    FaultEffect effect = FaultEffect::Fail;
    KmError status = SCREENIO_ERROR_IO;  // Fail only
    uint32_t absentMs = 0;               // DropOff: back after this long; 0 keeps it away until
                                         // a power cycle
};

// A usage the monitor would offer by its kind but leaves out.
struct UsageId {
    uint16_t page = 0;
    uint16_t usage = 0;
};

// Everything that describes one simulated monitor before it is used.
struct MonitorDescription {
    std::string product;  // up to 16 characters in practice
    std::string serial;   // up to 8 characters
    MonitorKind kind = MonitorKind::Files;
    std::vector<DeviceDescription> devices;  // Legacy: empty means the five legacy devices
    std::vector<FileDescription> files;
    std::vector<UsageId> withoutUsages;
    std::vector<FaultRule> faults;

    uint32_t serialReportLength = 24;    // FF00/35 report count
    uint32_t latencyUs = 0;              // real time added to every request, like a USB round trip
    uint32_t requestTimeUs = 1000;       // simulated time every request takes on the link; the
                                         // flash needs it to finish a page between two requests
    uint32_t restartMs = 3000;           // absent from searches this long after a restart
    uint32_t crcBusyMs = 30;             // the CRC-32 stays busy this long
    uint32_t deviceNameRecordSize = 32;  // record size of KFW000

    uint32_t flashSize = 0x100000;  // MStar and ZV
    uint32_t pageProgramUs = 700;   // MStar flash busy periods
    uint32_t sectorEraseMs = 45;
    uint32_t blockEraseMs = 150;
    uint32_t statusWriteMs = 5;
    uint32_t zvEraseMs = 120;  // ZV command busy periods
    uint32_t zvChecksumMsPerBlock = 2;
    uint32_t zvInfoReportLength = 32;         // FF01/124 report count
    uint32_t mstarPowerCycleMs = 0;           // MStar: power-cycle by itself this long after the
                                              // write protection is switched back on with update
                                              // markers set (0: only when told to)
    MonitorClaim claim = MonitorClaim::Free;  // what taking its handle meets
};

}  // namespace screenio::sim
