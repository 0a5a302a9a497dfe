// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "profile/DeviceVersion.h"
#include "profile/DeviceVersionList.h"

namespace fwu::kfw::v1 {

// A legacy version string holds the versions of the five legacy devices in device order, each
// as 5 zero-padded decimal digits: 25 characters.
constexpr size_t kVersionStringLength = 25;

// The string of the list's versions (0 for a device the list lacks). Throws "Version is not 25"
// when a version needs more than 5 digits.
std::string VersionStringFromList(const DeviceVersionList& list);
// The string of a bundle's conditions: for each device, the version of its first condition
// (the operator is not part of the format), or 0. Throws like VersionStringFromList.
std::string VersionStringFromConditions(const std::vector<DeviceVersionCondition>& conditions);
// The five devices with the versions of the five slices, zero versions included. Throws
// "Invalid version string" when the text is shorter than 25 characters.
DeviceVersionList DeviceVersionListFromVersionString(const std::string& text);

}  // namespace fwu::kfw::v1
