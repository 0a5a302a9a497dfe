// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "flashkit/flashkit.h"

namespace fwu::dev {
class Monitor;
}
namespace fwu::kfw {
class KfwFile;
}

namespace fwu {

// Whether a package fits a monitor.
enum CheckResult : uint32_t {
    CheckResultApplies = 0,
    CheckResultDifferentModel = 1,
    CheckResultUnsupportedVersion = 2,
    CheckResultAlreadyUpdated = 3,
    CheckResultWrongFileVersion = 4,
};

uint32_t KfwFileCheckMonitor(const kfw::KfwFile* file, dev::Monitor& monitor);
bool KfwFileSupportsMonitor(const kfw::KfwFile* file, dev::Monitor& monitor);
// The version a device will have after the update: the package's target when it names one.
bool KfwFileGetVersionAfterUpdate(const kfw::KfwFile* file, const FWDeviceVersion& current,
                                  FWDeviceVersion* after);
// Seconds the update is expected to take, margin included; 0 when it cannot be told.
uint32_t KfwFileGetEstimatedTime(const kfw::KfwFile* file, dev::Monitor& monitor, uint32_t options);

}  // namespace fwu
