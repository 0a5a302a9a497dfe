// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

namespace fwu::dev {

// One programmable device inside a monitor.
class DeviceProfile {
public:
    std::string name;      // shown to the user
    std::string fileName;  // monitor file a transfer for this device writes; empty for ZV devices
    uint32_t device = 0;   // key of versions and bundle conditions
    uint32_t versionRepresentation = 0;  // an FWVersionRepresentation
    uint32_t address = 0;                // flash address of the image (ZV monitors)
    uint32_t updateFlagIndex = 0;        // bit of the device in the ZV update flag

    // Identity for updating: the display name and the version notation do not count.
    bool operator==(const DeviceProfile& other) const;
    bool operator!=(const DeviceProfile& other) const { return !(*this == other); }
};

}  // namespace fwu::dev
