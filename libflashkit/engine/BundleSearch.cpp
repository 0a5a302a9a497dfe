// SPDX-License-Identifier: Apache-2.0
#include "engine/BundleSearch.h"

#include <cstring>

#include "device/Monitor.h"
#include "package/Action.h"
#include "package/Bundle.h"
#include "package/KfwFile.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu::internal {

const char kMcuIspModeProduct[] = "MCU ISP MODE";

KmError ReadDeviceProfile(const kfw::KfwFile& file, dev::Monitor& monitor,
                          dev::DeviceProfileList* profile) {
    // A package that names its devices is trusted over what the monitor says about itself.
    *profile = file.deviceProfile();
    if (!profile->empty()) return 0;
    return monitor.getDeviceProfile(profile);
}

KmError KfwFileGetBundleForMonitor(const kfw::KfwFile* file, dev::Monitor& monitor,
                                   kfw::Bundle** bundle, kfw::DeviceVersionList* versions) {
    if (!file) return KmErrorInvalidArgument;
    char serial[9], product[17];
    KmError status = monitor.getSerialProduct(&serial, &product);
    if (status < 0 || !file->supportsMonitorProduct(product)) return status;

    kfw::DeviceVersionList current;
    if (std::strcmp(product, kMcuIspModeProduct) != 0) {
        dev::DeviceProfileList profile;
        if ((status = ReadDeviceProfile(*file, monitor, &profile)) < 0) return status;
        if ((status = monitor.getDeviceVersionList(&current, &profile)) < 0) return status;
    }
    if (versions) *versions = current;
    if (bundle) *bundle = file->bundleForVersion(&current);
    return status;
}

KmError FindBundleAndProfile(const kfw::KfwFile* file, dev::Monitor& monitor, kfw::Bundle** bundle,
                             kfw::DeviceVersionList* versions, dev::DeviceProfileList* profile) {
    KmError status = KfwFileGetBundleForMonitor(file, monitor, bundle, versions);
    if (status < 0) return status;
    if (!*bundle || !file) return KmErrorInvalidState;
    const KmError read = ReadDeviceProfile(*file, monitor, profile);
    if (read >= 0) return read;
    // Only the boot loader answers a monitor in ISP mode: without devices to read, every image
    // of the bundle goes out, and a recovery works from the package alone.
    char serial[9], product[17];
    if (monitor.getSerialProduct(&serial, &product) >= 0 &&
        std::strcmp(product, kMcuIspModeProduct) == 0) {
        *profile = dev::DeviceProfileList();
        return status;
    }
    return read;
}

uint32_t PlanSeconds(const kfw::KfwFile& file, const kfw::Bundle& bundle,
                     const std::vector<const kfw::Action*>& actions) {
    uint32_t seconds = bundle.estimatedTime();
    if (seconds == 0)
        for (const kfw::Action* action : actions) seconds += action->estimatedTime();
    return seconds + file.estimatedTimeMargin();
}

}  // namespace fwu::internal
