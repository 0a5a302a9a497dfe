// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/ArrayWrapper.h"
#include "profile/DeviceProfile.h"
#include "profile/FWDeviceProfile.h"

namespace fwu::dev {

// The devices of a monitor in list order, plus the IDs of those shown to the user in display
// order.
class DeviceProfileList : public FWDeviceProfile, public ArrayWrapper<DeviceProfile> {
public:
    DeviceProfileList() = default;
    ~DeviceProfileList() override = default;

    bool getDeviceID(FWDeviceVersionKind kind, unsigned int* ids,
                     unsigned int* count) const override;
    bool getDeviceVersionString(FWDeviceVersion version, char* text,
                                unsigned int* length) const override;
    // The device's name in the same two calls as its version text; false for a device that is
    // not in the list.
    bool getDeviceName(uint32_t device, char* text, unsigned int* length) const;
    pocketjson::Value toJson() const override;
    void fromJson(const pocketjson::Value& json) override;

    const DeviceProfile* find(uint32_t device) const;
    const DeviceProfile* find(const std::string& fileName) const;
    const DeviceProfile* findAddress(uint32_t address) const;
    bool hasDevice(uint32_t device) const { return find(device) != nullptr; }
    // Neither profiles nor display IDs.
    bool empty() const { return m_items.empty() && m_displayDeviceIDs.empty(); }
    std::unique_ptr<DeviceProfileList> clone() const;

    const std::vector<uint32_t>& displayDeviceIDs() const { return m_displayDeviceIDs; }
    void setDisplayDeviceIDs(const std::vector<uint32_t>& ids) { m_displayDeviceIDs = ids; }

    // Replaces the content with the fixed five-device profile of legacy monitors.
    void setV1Profile();

    // Device by device: the same profiles (DeviceProfile equality) in the same order. Display
    // IDs only decide what is shown, so they do not take part.
    bool operator==(const DeviceProfileList& other) const;
    bool operator!=(const DeviceProfileList& other) const { return !(*this == other); }

private:
    std::vector<uint32_t> m_displayDeviceIDs;
};

}  // namespace fwu::dev
