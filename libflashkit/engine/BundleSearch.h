#pragma once
#include "flashkit/flashkit.h"

namespace fwu::dev {
class DeviceProfileList;
class Monitor;
}  // namespace fwu::dev

namespace fwu::kfw {
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

}  // namespace fwu::internal
