// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "device/FeatureAccess.h"

namespace fwu::dev {

// ZV flash commands: block erase, page writes, the monitor's checksum and the update flags.
class ZVCommands {
public:
    explicit ZVCommands(FeatureAccess features) : m_features(features) {}

    // Whether the monitor offers all four ZV features.
    bool supported() const;

    KmError blockErase(uint32_t address) const;
    KmError writeData(uint32_t address, const uint8_t* data, uint32_t length) const;
    KmError calcChecksum(uint32_t address, uint32_t length, uint32_t* checksum) const;
    KmError setUpdateFlag(uint8_t index, bool value) const;

private:
    KmError command(uint32_t address, uint32_t length, uint8_t operation) const;
    KmError execute(uint32_t waitMilliseconds) const;
    KmError poll(std::vector<uint8_t>* reply) const;

    FeatureAccess m_features;
};

}  // namespace fwu::dev
