// SPDX-License-Identifier: Apache-2.0
#include "profile/DeviceVersionList.h"

#include <algorithm>

#include "profile/DeviceProfileList.h"
#include "profile/LegacyDevices.h"

namespace fwu::kfw {

namespace {

// The record's version fields in the order of the legacy devices.
uint32_t* LegacyFields(FWFirmwareVersion& record, size_t index) {
    uint32_t* fields[dev::kLegacyDeviceCount] = {&record.mainVersion, &record.subVersion,
                                                 &record.frontEndVersion, &record.fontVersion,
                                                 &record.fpgaVersion};
    return fields[index];
}

}  // namespace

bool DeviceVersionList::operator==(const DeviceVersionList& other) const {
    if (m_items.size() != other.m_items.size()) return false;
    for (size_t i = 0; i < m_items.size(); ++i) {
        const DeviceVersion& a = m_items[i];
        const DeviceVersion& b = other.m_items[i];
        if (a.deviceID != b.deviceID || !a.version.match(b.version, Version::OperatorEqual))
            return false;
    }
    return true;
}

bool DeviceVersionList::match(const DeviceVersion& dv, Version::Operator op) const {
    const DeviceVersion* entry = find(dv.deviceID);
    return entry && entry->version.match(dv.version, op);
}

const DeviceVersion* DeviceVersionList::find(uint32_t deviceID) const {
    for (const DeviceVersion& entry : m_items)
        if (entry.deviceID == deviceID) return &entry;
    return nullptr;
}

bool DeviceVersionList::validate(const dev::DeviceProfileList* profile) {
    if (!profile) return true;
    const size_t before = m_items.size();
    m_items.erase(std::remove_if(m_items.begin(), m_items.end(),
                                 [profile](const DeviceVersion& entry) {
                                     return !profile->find(entry.deviceID);
                                 }),
                  m_items.end());
    return m_items.size() == before;
}

bool DeviceVersionList::canConvertFWFirmwareVersion(const dev::DeviceProfileList& profile) const {
    dev::DeviceProfileList legacy;
    legacy.setV1Profile();
    return profile == legacy;
}

FWFirmwareVersion DeviceVersionList::toFWFirmwareVersion() const {
    FWFirmwareVersion record{};
    for (size_t i = 0; i < dev::kLegacyDeviceCount; ++i)
        *LegacyFields(record, i) = ConvertFWFirmwareVersion(this, dev::kLegacyDevices[i].device);
    return record;
}

void DeviceVersionList::setFWFirmwareVersion(const FWFirmwareVersion& version) {
    FWFirmwareVersion record = version;
    m_items.clear();
    for (size_t i = 0; i < dev::kLegacyDeviceCount; ++i)
        push({dev::kLegacyDevices[i].device, Version(*LegacyFields(record, i))});
}

uint32_t ConvertFWFirmwareVersion(const DeviceVersionList* list, uint32_t deviceID) {
    const DeviceVersion* entry = list ? list->find(deviceID) : nullptr;
    return entry ? entry->version.value() : 0;
}

}  // namespace fwu::kfw
