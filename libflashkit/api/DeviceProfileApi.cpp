// SPDX-License-Identifier: Apache-2.0
// Exported device-profile functions: profiles read from a monitor or copied from a package,
// and the two-call queries of device IDs, version texts and device names.
#include <memory>

#include "api/ApiGuard.h"
#include "api/PackageHandle.h"
#include "device/Monitor.h"
#include "flashkit/flashkit.h"
#include "profile/DeviceProfileList.h"

using fwu::api::Guard;
using fwu::dev::DeviceProfileList;

extern "C" {

FW_EXPORT KmError FWDeviceProfileCreateFromMonitor(void* monitor, FWDeviceProfile** profile) {
    if (!profile) return KmErrorInvalidArgument;
    return Guard(KmErrorFailed, [&] {
        auto created = std::make_unique<DeviceProfileList>();
        KmError status = fwu::dev::Monitor(monitor).getDeviceProfile(created.get());
        // A failed read never hands out a half-filled profile.
        if (status >= 0) *profile = created.release();
        return status;
    });
}

FW_EXPORT KmError FWDeviceProfileCreateFromMonitorAndKfwFile(void* monitor, FWKfwFile* file,
                                                             FWDeviceProfile** profile) {
    if (!profile) return KmErrorInvalidArgument;
    return Guard(KmErrorFailed, [&] {
        const fwu::kfw::KfwFile* package = fwu::api::AsPackage(file);
        if (package && !package->deviceProfile().empty()) {
            *profile = package->deviceProfile().clone().release();
            return KmError(0);
        }
        return FWDeviceProfileCreateFromMonitor(monitor, profile);
    });
}

FW_EXPORT bool FWDeviceProfileGetDeviceID(FWDeviceProfile* profile, FWDeviceVersionKind kind,
                                          unsigned int* ids, unsigned int* count) {
    if (!profile) return false;
    return Guard(false, [&] { return profile->getDeviceID(kind, ids, count); });
}

FW_EXPORT bool FWDeviceProfileGetVersionString(FWDeviceProfile* profile, FWDeviceVersion version,
                                               char* buffer, unsigned int* size) {
    if (!profile) return false;
    return Guard(false, [&] { return profile->getDeviceVersionString(version, buffer, size); });
}

FW_EXPORT bool FWDeviceProfileGetDeviceName(FWDeviceProfile* profile, unsigned int deviceID,
                                            char* buffer, unsigned int* size) {
    if (!profile) return false;
    return Guard(false, [&] {
        // Every profile handle this library hands out is a list; the handle's own table has no
        // slot for the name and keeps its order.
        const auto* list = dynamic_cast<const DeviceProfileList*>(profile);
        return list && list->getDeviceName(deviceID, buffer, size);
    });
}

}  // extern "C"
