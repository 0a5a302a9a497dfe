// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

namespace fwu::dev {

// The five devices of monitors that predate device profiles. Their order is also the field
// order of the exported FWFirmwareVersion record.
struct LegacyDevice {
    const char* name;
    const char* fileName;
    uint32_t device;
    uint32_t versionRepresentation;
};

constexpr size_t kLegacyDeviceCount = 5;
extern const LegacyDevice kLegacyDevices[kLegacyDeviceCount];
// The legacy devices shown to the user, in display order.
constexpr size_t kLegacyDisplayDeviceCount = 3;
extern const uint32_t kLegacyDisplayDevices[kLegacyDisplayDeviceCount];

}  // namespace fwu::dev
