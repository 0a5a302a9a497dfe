// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "device/FeatureAccess.h"

namespace fwu::dev {

// The scaler's ISP bridge (scaler-address and scaler-data reports) and the serial-flash
// commands sent through it.
class ScalerBridge {
public:
    struct FlashStatus {
        bool busy = false;
    };

    // The scaler-data report length of a monitor whose scaler can be updated this way.
    static constexpr uint32_t kDataReportLength = 262;

    explicit ScalerBridge(FeatureAccess features) : m_features(features) {}

    // The scaler-data report length, 0 when the monitor has no bridge.
    uint32_t dataReportLength() const;

    KmError setAddress(uint16_t target, uint16_t length) const;
    KmError writeData(uint16_t target, const std::vector<uint8_t>& data) const;
    KmError readData(uint16_t target, uint16_t length, uint8_t* out) const;

    KmError setIspMode() const;
    KmError quitIspMode() const;
    KmError readFlashStatus(FlashStatus* status) const;
    KmError setFlashWriteProtection(bool protect) const;
    KmError blockErase(uint32_t address) const;
    KmError sectorErase(uint32_t address) const;
    KmError writeFlash(uint32_t address, const uint8_t* data, uint32_t length) const;
    KmError readFlash(uint32_t address, uint8_t* out, uint32_t length) const;
    // Ends the flash command the bridge holds open (none is fine).
    KmError endCommand() const;

private:
    KmError command(const std::vector<uint8_t>& bytes) const;
    KmError writeEnable() const;
    KmError erase(uint8_t eraseCommand, uint32_t address) const;

    FeatureAccess m_features;
};

}  // namespace fwu::dev
