// SPDX-License-Identifier: Apache-2.0
#include "package/v1/VersionString.h"

#include "core/Exception.h"
#include "profile/LegacyDevices.h"

namespace fwu::kfw::v1 {

namespace {

constexpr size_t kSliceLength = kVersionStringLength / dev::kLegacyDeviceCount;

template <typename VersionOf> std::string BuildString(VersionOf versionOf) {
    std::string text;
    for (const dev::LegacyDevice& device : dev::kLegacyDevices)
        text += versionOf(device.device).toString(kSliceLength, FWVersionRepresentationDecimal);
    if (text.size() != kVersionStringLength) throw Exception(PackageError::kLegacyVersionNot25);
    return text;
}

}  // namespace

std::string VersionStringFromList(const DeviceVersionList& list) {
    return BuildString([&list](uint32_t device) {
        const DeviceVersion* entry = list.find(device);
        return entry ? entry->version : Version();
    });
}

std::string VersionStringFromConditions(const std::vector<DeviceVersionCondition>& conditions) {
    return BuildString([&conditions](uint32_t device) {
        for (const DeviceVersionCondition& condition : conditions)
            if (condition.deviceVersion.deviceID == device) return condition.deviceVersion.version;
        return Version();
    });
}

DeviceVersionList DeviceVersionListFromVersionString(const std::string& text) {
    if (text.size() < kVersionStringLength)
        throw Exception(PackageError::kLegacyInvalidVersionString);
    DeviceVersionList list;
    for (size_t index = 0; index < dev::kLegacyDeviceCount; ++index)
        list.push({dev::kLegacyDevices[index].device,
                   Version(text.substr(index * kSliceLength, kSliceLength))});
    return list;
}

}  // namespace fwu::kfw::v1
