// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "core/Version.h"

namespace fwu::kfw {

// The firmware version of one device of a device profile.
struct DeviceVersion {
    uint32_t deviceID = 0;
    Version version;
};

// A bundle condition: the monitor's version of deviceVersion.deviceID compared with
// deviceVersion.version by op.
struct DeviceVersionCondition {
    DeviceVersion deviceVersion;
    Version::Operator op = Version::OperatorNone;
};

}  // namespace fwu::kfw
