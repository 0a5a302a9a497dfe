// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "screenio/screenio.h"
#include "sim/SpiNorFlash.h"

namespace screenio::sim {

// The scaler's in-system-programming bridge: the scaler-address report (FF30/10) selects a
// target and a length, the scaler-data report (FF30/11) carries the bytes. Targets: 0x4D92
// enters ISP mode with "VRNX", 0x1092 shifts command bytes into the flash, 0x1192 reads what
// the flash shifts out, 0x1292 ends the flash command, 0x2492 leaves ISP mode. Flash targets are
// refused outside ISP mode.
//
// Refusals (nothing reaches the flash): SCREENIO_ERROR_INVALID_ARGUMENT for a null report;
// SCREENIO_ERROR_LENGTH for an address report other than 4 bytes, a data report other than
// kDataReportLength bytes, or a target length above kMaxDataLength; SCREENIO_ERROR_REJECTED for
// an unknown target, a flash target outside ISP mode, a data request in the wrong direction for
// its target (a set of 0x1192, a get of anything else), and an ISP entry without exactly "VRNX".
// A refused address report forgets the remembered target, so the data report that follows it is
// refused too. Bytes 0-1 of a written data report are not checked.
class MStarBridge {
public:
    static constexpr uint32_t kDataReportLength = 262;
    static constexpr uint32_t kMaxDataLength = kDataReportLength - 2;

    static constexpr uint16_t kTargetEnterIsp = 0x4D92;
    static constexpr uint16_t kTargetFlashWrite = 0x1092;
    static constexpr uint16_t kTargetFlashRead = 0x1192;
    static constexpr uint16_t kTargetFlashEnd = 0x1292;
    static constexpr uint16_t kTargetLeaveIsp = 0x2492;

    explicit MStarBridge(SpiNorFlash& flash);

    // FF30/10: 4 bytes, target then length (16 bits each, little-endian).
    KmError setAddress(const uint8_t* report, uint32_t length);
    // FF30/11 set: bytes 0-1 zero, data from byte 2.
    KmError writeData(const uint8_t* report, uint32_t length);
    // FF30/11 get: bytes 0-1 the data length, data from byte 2.
    KmError readData(uint8_t* report, uint32_t length);

    // Whether this data report (FF30/11 set) would change the monitor: entering or leaving ISP
    // mode, or bytes of a flash command other than a status or data read.
    bool changes(const uint8_t* report, uint32_t length) const;

    bool ispMode() const;
    // Power cycle: leaves ISP mode and power-cycles the flash, so an open command is dropped
    // without executing and the write-enable latch is cleared.
    void reset();

private:
    void endCommand();

    SpiNorFlash& m_flash;
    uint16_t m_target = 0;
    uint16_t m_length = 0;
    bool m_haveTarget = false;
    bool m_isp = false;
    bool m_commandOpen = false;   // the flash is selected for a command from 0x1092
    bool m_commandReads = false;  // ... and that command is a status or data read
};

}  // namespace screenio::sim
