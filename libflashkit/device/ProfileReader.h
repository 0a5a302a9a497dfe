// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <utility>

#include "device/FeatureAccess.h"
#include "flashkit/flashkit.h"

namespace fwu::kfw {
class DeviceVersionList;
}

namespace fwu::dev {

class DeviceProfileList;

// Device profile and device versions: from the device files, from the ZV device-information
// report, or the fixed legacy profile; versions from the device files or the older query.
class ProfileReader {
public:
    explicit ProfileReader(FeatureAccess features) : m_features(features) {}

    KmError readProfile(DeviceProfileList* list) const;
    KmError readZVProfile(DeviceProfileList* list) const;
    KmError readVersion(uint32_t device, FWDeviceVersion* version) const;
    KmError readVersionList(kfw::DeviceVersionList* versions,
                            const DeviceProfileList* profiles) const;

private:
    KmError readFileProfile(uint16_t records, DeviceProfileList* list) const;
    KmError queryVersion(uint32_t device, FWDeviceVersion* version) const;

    FeatureAccess m_features;
};

// Orders (device ID, display order) pairs by display order, ascending.
bool DeviceOrderCompare(const std::pair<uint32_t, uint32_t>& a,
                        const std::pair<uint32_t, uint32_t>& b);

}  // namespace fwu::dev
