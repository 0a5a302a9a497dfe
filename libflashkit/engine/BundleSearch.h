// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "flashkit/flashkit.h"

namespace fwu::dev {
class DeviceProfileList;
class Monitor;
}  // namespace fwu::dev

namespace fwu::kfw {
class Action;
class Bundle;
class DeviceVersionList;
class KfwFile;
}  // namespace fwu::kfw

namespace fwu::internal {

// The product a monitor reports while its controller waits in ISP mode; such a monitor has no
// readable devices.
extern const char kMcuIspModeProduct[];

// The package's device profile when it has one, else the monitor's.
KmError ReadDeviceProfile(const kfw::KfwFile& file, dev::Monitor& monitor,
                          dev::DeviceProfileList* profile);

// Reads the monitor's product, profile and current versions and picks the package's bundle
// for them. `bundle` (null when none applies) and `versions` are optional outputs; nothing is
// stored when the product cannot be read or is not the package's.
KmError KfwFileGetBundleForMonitor(const kfw::KfwFile* file, dev::Monitor& monitor,
                                   kfw::Bundle** bundle, kfw::DeviceVersionList* versions);

// The first steps of every update plan: the bundle for the monitor (KmErrorInvalidState when
// none applies), the versions it was chosen for and the device profile.
KmError FindBundleAndProfile(const kfw::KfwFile* file, dev::Monitor& monitor, kfw::Bundle** bundle,
                             kfw::DeviceVersionList* versions, dev::DeviceProfileList* profile);

// Seconds a plan of these actions takes: the bundle's own figure, else the actions' sum; plus
// the package's margin.
uint32_t PlanSeconds(const kfw::KfwFile& file, const kfw::Bundle& bundle,
                     const std::vector<const kfw::Action*>& actions);

}  // namespace fwu::internal
