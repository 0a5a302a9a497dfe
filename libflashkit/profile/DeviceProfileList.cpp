// SPDX-License-Identifier: Apache-2.0
#include "profile/DeviceProfileList.h"

#include <algorithm>
#include <cstring>

#include "core/Version.h"
#include "profile/LegacyDevices.h"

namespace fwu::dev {
namespace {

// The two-call text contract: a null `text` asks for the length plus one; otherwise the text is
// cut to `*length` - 1 characters and terminated.
bool CopyText(const std::string& written, char* text, unsigned int* length) {
    if (!text) {
        *length = static_cast<unsigned int>(written.size() + 1);
        return true;
    }
    if (*length == 0) return false;
    const size_t n = std::min<size_t>(*length - 1, written.size());
    std::memcpy(text, written.data(), n);
    text[n] = '\0';
    return true;
}

}  // namespace

bool DeviceProfileList::getDeviceID(FWDeviceVersionKind kind, unsigned int* ids,
                                    unsigned int* count) const {
    if (!count) return false;
    std::vector<uint32_t> all;
    const std::vector<uint32_t>* selected = &m_displayDeviceIDs;
    if (kind == FWDeviceVersionKindAllDevices) {
        all.reserve(m_items.size());
        for (const DeviceProfile& profile : m_items) all.push_back(profile.device);
        selected = &all;
    }
    if (!ids) {
        *count = static_cast<unsigned int>(selected->size());
        return true;
    }
    // A caller's count beyond the list is cut to the list, and the count says how many came.
    const size_t n = std::min<size_t>(*count, selected->size());
    std::copy_n(selected->begin(), n, ids);
    *count = static_cast<unsigned int>(n);
    return true;
}

bool DeviceProfileList::getDeviceVersionString(FWDeviceVersion version, char* text,
                                               unsigned int* length) const {
    const DeviceProfile* profile = find(version.deviceID);
    if (!profile || !length) return false;
    // The stored number can be anything a package or monitor supplied; casting a value outside
    // the enumeration into it is undefined, and every value but 1 means decimal anyway.
    const FWVersionRepresentation representation =
        profile->versionRepresentation == FWVersionRepresentationHexadecimal
            ? FWVersionRepresentationHexadecimal
            : FWVersionRepresentationDecimal;
    return CopyText(Version(version.version).toString(5, representation), text, length);
}

bool DeviceProfileList::getDeviceName(uint32_t device, char* text, unsigned int* length) const {
    const DeviceProfile* profile = find(device);
    if (!profile || !length) return false;
    return CopyText(profile->name, text, length);
}

const DeviceProfile* DeviceProfileList::find(uint32_t device) const {
    for (const DeviceProfile& profile : m_items)
        if (profile.device == device) return &profile;
    return nullptr;
}

const DeviceProfile* DeviceProfileList::find(const std::string& fileName) const {
    for (const DeviceProfile& profile : m_items)
        if (profile.fileName == fileName) return &profile;
    return nullptr;
}

const DeviceProfile* DeviceProfileList::findAddress(uint32_t address) const {
    for (const DeviceProfile& profile : m_items)
        if (profile.address == address) return &profile;
    return nullptr;
}

std::unique_ptr<DeviceProfileList> DeviceProfileList::clone() const {
    auto copy = std::make_unique<DeviceProfileList>();
    copy->m_items = m_items;
    copy->m_displayDeviceIDs = m_displayDeviceIDs;
    return copy;
}

void DeviceProfileList::setV1Profile() {
    m_items.clear();
    for (const LegacyDevice& legacy : kLegacyDevices) {
        DeviceProfile profile;
        profile.name = legacy.name;
        profile.fileName = legacy.fileName;
        profile.device = legacy.device;
        profile.versionRepresentation = legacy.versionRepresentation;
        m_items.push_back(profile);
    }
    m_displayDeviceIDs.assign(std::begin(kLegacyDisplayDevices), std::end(kLegacyDisplayDevices));
}

bool DeviceProfileList::operator==(const DeviceProfileList& other) const {
    return m_items == other.m_items;
}

}  // namespace fwu::dev
