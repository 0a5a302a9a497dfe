// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "core/ArrayWrapper.h"
#include "flashkit/flashkit.h"
#include "profile/DeviceVersion.h"

namespace pocketjson {
class Value;
}

namespace fwu::dev {
class DeviceProfileList;
}

namespace fwu::kfw {

// Device versions in insertion order. Device IDs are expected to be unique; lookups take the
// first entry of an ID.
class DeviceVersionList : public ArrayWrapper<DeviceVersion> {
public:
    ~DeviceVersionList() override = default;
    virtual pocketjson::Value toJson() const;
    virtual void fromJson(const pocketjson::Value& json);

    // Same length and, position by position, same device and matching versions (an empty
    // version on either side counts as equal).
    bool operator==(const DeviceVersionList& other) const;
    bool operator!=(const DeviceVersionList& other) const { return !(*this == other); }

    // The list's version of dv.deviceID is the left operand; false when the device is absent.
    bool match(const DeviceVersion& dv, Version::Operator op) const;
    const DeviceVersion* find(uint32_t deviceID) const;
    // Removes the entries whose device the profile does not know; true when none was removed.
    bool validate(const dev::DeviceProfileList* profile);

    // Whether the versions can be given as the legacy five-device record, i.e. the profile is
    // the legacy one.
    bool canConvertFWFirmwareVersion(const dev::DeviceProfileList& profile) const;
    FWFirmwareVersion toFWFirmwareVersion() const;
    void setFWFirmwareVersion(const FWFirmwareVersion& version);
};

// The version value of the device, 0 when the list (or the device in it) is absent.
uint32_t ConvertFWFirmwareVersion(const DeviceVersionList* list, uint32_t deviceID);

}  // namespace fwu::kfw
