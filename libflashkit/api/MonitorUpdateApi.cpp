// SPDX-License-Identifier: Apache-2.0
// Exported compatibility check and update functions: they choose the monitor's protocol and
// run one engine operation with the caller's package.
#include <vector>

#include "api/ApiGuard.h"
#include "api/PackageHandle.h"
#include "device/Monitor.h"
#include "engine/Compatibility.h"
#include "engine/GenericTransfer.h"
#include "engine/MStarUpdate.h"
#include "engine/ZVUpdate.h"
#include "flashkit/flashkit.h"

using fwu::api::AsPackage;
using fwu::api::Guard;
using fwu::dev::Monitor;

namespace {

// What the latest transfer or update of this thread left on the monitor.
thread_local FWUpdateOutcome g_lastOutcome = FWUpdateOutcomeUntouched;

}  // namespace

extern "C" {

FW_EXPORT unsigned int FWKfwFileCheckMonitor(FWKfwFile* file, void* monitor) {
    return Guard(unsigned(fwu::CheckResultUnsupportedVersion), [&] {
        Monitor device(monitor);
        return unsigned(fwu::KfwFileCheckMonitor(AsPackage(file), device));
    });
}

FW_EXPORT bool FWKfwFileSupportsMonitor(FWKfwFile* file, void* monitor) {
    return FWKfwFileCheckMonitor(file, monitor) == fwu::CheckResultApplies;
}

FW_EXPORT unsigned int FWKfwFileGetEstimatedTimeForMonitor(FWKfwFile* file, void* monitor,
                                                           unsigned int options) {
    return Guard(0u, [&] {
        Monitor device(monitor);
        return unsigned(fwu::KfwFileGetEstimatedTime(AsPackage(file), device, options));
    });
}

FW_EXPORT KmError FWMonitorGetDeviceVersionAfterUpdate(void* monitor, FWKfwFile* file,
                                                       unsigned int deviceID,
                                                       FWDeviceVersion* version) {
    if (!version) return KmErrorInvalidArgument;
    return Guard(KmErrorFailed, [&] {
        FWDeviceVersion current{deviceID, 0};
        KmError status = Monitor(monitor).getDeviceVersion(deviceID, &current);
        if (status < 0) return status;
        fwu::KfwFileGetVersionAfterUpdate(AsPackage(file), current, version);
        return status;
    });
}

FW_EXPORT KmError FWMonitorTransferFirmwareDataWithOptions(void* monitor, FWKfwFile* file,
                                                           FWTransferProgressCallback callback,
                                                           void* userData, unsigned int options) {
    return Guard(KmErrorFailed, [&] {
        g_lastOutcome = FWUpdateOutcomeUntouched;
        Monitor device(monitor);
        KmError status;
        if (device.supportsFirmwareUpdateZV())
            status = fwu::ZVTransferUpdateData(device, AsPackage(file), callback, userData, options,
                                               &g_lastOutcome);
        else if (device.supportsFirmwareUpdateV3())
            status = fwu::TransferUpdateData(device, AsPackage(file), callback, userData, options,
                                             &g_lastOutcome);
        else
            return KmErrorNotSupported;
        // A run that failed halfway must not leave the monitor ready to install it.
        if (status < 0) device.setTransferState(FWTransferStateNone);
        return status;
    });
}

FW_EXPORT FWUpdateOutcome FWMonitorGetLastUpdateOutcome(void) { return g_lastOutcome; }

FW_EXPORT KmError FWMonitorTransferFirmwareData(void* monitor, FWKfwFile* file,
                                                FWTransferProgressCallback callback,
                                                void* userData) {
    return FWMonitorTransferFirmwareDataWithOptions(monitor, file, callback, userData, 0);
}

FW_EXPORT KmError FWMonitorTriggerFirmwareUpdate(void* monitor) {
    return Guard(KmErrorFailed, [&] {
        Monitor device(monitor);
        if (device.supportsFirmwareUpdateZV()) return fwu::ZVTriggerUpdate(device);
        if (device.supportsFirmwareUpdateV3()) return fwu::TriggerUpdate(device);
        return KmErrorNotSupported;
    });
}

FW_EXPORT KmError FWMonitorCheckFirmwareUpdateFinished(void* monitor, FWKfwFile* file) {
    return Guard(KmErrorFailed, [&] {
        Monitor device(monitor);
        return fwu::CheckFirmwareUpdateFinished(device, AsPackage(file));
    });
}

FW_EXPORT KmError FWMonitorUpdateFirmware(void* monitor, FWKfwFile* file,
                                          FWTransferProgressCallback callback, void* userData,
                                          unsigned int options) {
    return Guard(KmErrorFailed, [&] {
        g_lastOutcome = FWUpdateOutcomeUntouched;
        Monitor device(monitor);
        // The scaler flow switches the write protection back on whatever happens once it has
        // begun, and refuses a plan it cannot carry out before it begins.
        if (device.supportsFirmwareUpdateMStar())
            return fwu::MStarUpdateFirmware(device, AsPackage(file), callback, userData, options,
                                            &g_lastOutcome);
        if (!device.supportsFirmwareUpdateV3() && !device.supportsFirmwareUpdateZV())
            return KmErrorNotSupported;
        KmError status =
            FWMonitorTransferFirmwareDataWithOptions(monitor, file, callback, userData, options);
        if (status < 0) return status;
        return FWMonitorTriggerFirmwareUpdate(monitor);
    });
}

}  // extern "C"
