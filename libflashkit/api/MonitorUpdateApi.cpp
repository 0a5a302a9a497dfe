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

// The scaler flow as one unit: whatever happens after the bundle search, write protection is
// switched back on before returning.
KmError UpdateScaler(Monitor& monitor, const fwu::kfw::KfwFile* file,
                     FWTransferProgressCallback callback, void* userData, unsigned int options) {
    bool finalized = false;
    try {
        std::vector<const fwu::kfw::TransferMStarDataAction*> actions;
        KmError status = fwu::internal::ExtractTransferMStarData(file, monitor, options, &actions);
        if (status >= 0) status = fwu::MStarInitialize(monitor);
        if (status >= 0)
            status = fwu::MStarTransferUpdateData(monitor, file, callback, userData, actions);
        if (status >= 0) status = fwu::MStarSetUpdateFlag(monitor, file, actions);
        if (status < 0) {
            fwu::MStarFinalize(monitor);
            return status;
        }
        finalized = true;
        return fwu::MStarFinalize(monitor);
    } catch (...) {
        // Out of memory mid-flow: the flash may be half written, so this is never a success.
        if (!finalized) fwu::MStarFinalize(monitor);
        return KmErrorFailed;
    }
}

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
        Monitor device(monitor);
        KmError status;
        if (device.supportsFirmwareUpdateZV())
            status = fwu::ZVTransferUpdateData(device, AsPackage(file), callback, userData, options);
        else if (device.supportsFirmwareUpdateV3())
            status = fwu::TransferUpdateData(device, AsPackage(file), callback, userData, options);
        else
            return KmErrorNotSupported;
        // A run that failed halfway must not leave the monitor ready to install it.
        if (status < 0) device.setTransferState(FWTransferStateNone);
        return status;
    });
}

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
        Monitor device(monitor);
        if (device.supportsFirmwareUpdateMStar())
            return UpdateScaler(device, AsPackage(file), callback, userData, options);
        if (!device.supportsFirmwareUpdateV3() && !device.supportsFirmwareUpdateZV())
            return KmErrorNotSupported;
        KmError status =
            FWMonitorTransferFirmwareDataWithOptions(monitor, file, callback, userData, options);
        if (status < 0) return status;
        return FWMonitorTriggerFirmwareUpdate(monitor);
    });
}

}  // extern "C"
