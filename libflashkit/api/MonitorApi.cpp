// SPDX-License-Identifier: Apache-2.0
// Exported monitor queries: wrap the caller's monitor handle for the call, check outputs, run
// one monitor operation. Statuses of the monitor pass through unchanged.
#include "api/ApiGuard.h"
#include "device/Monitor.h"
#include "flashkit/flashkit.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

using fwu::api::Guard;
using fwu::dev::Monitor;

extern "C" {

FW_EXPORT bool FWMonitorSupportsFirmwareUpdate(void* monitor) {
    return Guard(false, [&] {
        Monitor device(monitor);
        return device.supportsFirmwareUpdateV3() || device.supportsFirmwareUpdateZV();
    });
}

FW_EXPORT bool FWMonitorSupportsFirmwareUpdateV4(void* monitor) {
    return Guard(false, [&] { return Monitor(monitor).supportsFirmwareUpdateV4(); });
}

FW_EXPORT FWFirmwareUpdateType FWMonitorGetSupportedFirmwareUpdateType(void* monitor) {
    return Guard(FWFirmwareUpdateTypeNone, [&] {
        Monitor device(monitor);
        if (device.supportsFirmwareUpdateV4()) return FWFirmwareUpdateTypeV4;
        if (device.supportsFirmwareUpdateV3()) return FWFirmwareUpdateTypeV3;
        if (device.supportsFirmwareUpdateZV()) return FWFirmwareUpdateTypeZV;
        if (device.supportsFirmwareUpdateMStar()) return FWFirmwareUpdateTypeMStar;
        return FWFirmwareUpdateTypeNone;
    });
}

FW_EXPORT KmError FWMonitorGetSerialProduct(void* monitor, char serial[9], char product[17]) {
    if (!serial || !product) return KmErrorInvalidArgument;
    return Guard(KmErrorFailed, [&] {
        return Monitor(monitor).getSerialProduct(reinterpret_cast<char(*)[9]>(serial),
                                                 reinterpret_cast<char(*)[17]>(product));
    });
}

FW_EXPORT KmError FWMonitorGetDeviceVersion(void* monitor, unsigned int deviceID,
                                            FWDeviceVersion* version) {
    return Guard(KmErrorFailed,
                 [&] { return Monitor(monitor).getDeviceVersion(deviceID, version); });
}

FW_EXPORT KmError FWMonitorGetFirmwareVersion(void* monitor, FWFirmwareVersion* version) {
    if (!version) return KmErrorInvalidArgument;
    return Guard(KmErrorFailed, [&] {
        Monitor device(monitor);
        fwu::dev::DeviceProfileList profile;
        KmError status = device.getDeviceProfile(&profile);
        if (status < 0) return status;
        fwu::kfw::DeviceVersionList versions;
        status = device.getDeviceVersionList(&versions, &profile);
        if (status < 0) return status;
        if (!versions.canConvertFWFirmwareVersion(profile)) return KmErrorNotSupported;
        *version = versions.toFWFirmwareVersion();
        return status;
    });
}

FW_EXPORT KmError FWMonitorGetTransferState(void* monitor, FWTransferState* state) {
    if (!state) return KmErrorInvalidArgument;
    return Guard(KmErrorFailed, [&] {
        uint32_t value = 0;
        KmError status = Monitor(monitor).getTransferState(&value);
        *state = FWTransferState(value);
        return status;
    });
}

FW_EXPORT KmError FWMonitorSetOSDStatus(void* monitor, bool enabled) {
    return Guard(KmErrorFailed, [&] { return Monitor(monitor).setOSDStatus(enabled); });
}

}  // extern "C"
