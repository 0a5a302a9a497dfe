// SPDX-License-Identifier: Apache-2.0
#include "engine/Compatibility.h"

#include <string>

#include "device/Monitor.h"
#include "engine/BundleSearch.h"
#include "engine/TransferExtraction.h"
#include "package/KfwFile.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu {
namespace {

// Each update protocol takes only the package format made for it; the record-file protocol
// with device files refuses the legacy format.
bool FileVersionFitsMonitor(const kfw::FileVersion& version, dev::Monitor& monitor) {
    if (monitor.supportsFirmwareUpdateV4()) return version.major.value() != 1;
    if (monitor.supportsFirmwareUpdateZV()) return version == kfw::FileVersion(2, 2);
    if (monitor.supportsFirmwareUpdateMStar()) return version == kfw::FileVersion(2, 1);
    return true;
}

}  // namespace

uint32_t KfwFileCheckMonitor(const kfw::KfwFile* file, dev::Monitor& monitor) {
    // A missing package fits nothing; the monitor is not asked.
    if (!file) return CheckResultDifferentModel;
    if (!FileVersionFitsMonitor(file->version(), monitor)) return CheckResultWrongFileVersion;

    std::string product;
    if (monitor.getSerialProduct(nullptr, &product) < 0 ||
        !file->supportsMonitorProduct(product.c_str()))
        return CheckResultDifferentModel;
    if (product == internal::kMcuIspModeProduct) return CheckResultApplies;

    dev::DeviceProfileList profile;
    if (internal::ReadDeviceProfile(*file, monitor, &profile) < 0)
        return CheckResultUnsupportedVersion;
    kfw::DeviceVersionList current;
    if (monitor.getDeviceVersionList(&current, &profile) < 0) return CheckResultUnsupportedVersion;

    for (const kfw::DeviceVersion& target : file->targetVersion().items()) {
        if (!current.find(target.deviceID)) return CheckResultUnsupportedVersion;
        if (current.match(target, Version::OperatorEqual)) continue;
        // The first device still to update decides: is there anything the bundle would send?
        kfw::Bundle* bundle = nullptr;
        kfw::DeviceVersionList versions;
        if (internal::KfwFileGetBundleForMonitor(file, monitor, &bundle, &versions) < 0 || !bundle)
            return CheckResultUnsupportedVersion;
        return internal::ExtractTransferActions(*file, *bundle, profile, versions, 0).empty()
                   ? CheckResultAlreadyUpdated
                   : CheckResultApplies;
    }
    return CheckResultAlreadyUpdated;
}

bool KfwFileSupportsMonitor(const kfw::KfwFile* file, dev::Monitor& monitor) {
    return KfwFileCheckMonitor(file, monitor) == CheckResultApplies;
}

bool KfwFileGetVersionAfterUpdate(const kfw::KfwFile* file, const FWDeviceVersion& current,
                                  FWDeviceVersion* after) {
    if (!after) return false;
    after->deviceID = current.deviceID;
    after->version = current.version;
    if (!file) return true;
    const kfw::DeviceVersion* target = file->targetVersion().find(current.deviceID);
    if (target && !target->version.empty()) after->version = target->version.value();
    return true;
}

uint32_t KfwFileGetEstimatedTime(const kfw::KfwFile* file, dev::Monitor& monitor,
                                 uint32_t options) {
    kfw::Bundle* bundle = nullptr;
    kfw::DeviceVersionList versions;
    if (internal::KfwFileGetBundleForMonitor(file, monitor, &bundle, &versions) < 0 || !bundle)
        return 0;
    dev::DeviceProfileList profile;
    if (internal::ReadDeviceProfile(*file, monitor, &profile) < 0) return 0;
    uint32_t seconds = bundle->estimatedTime();
    if (seconds == 0)
        for (const kfw::Action* action :
             internal::ExtractTransferActions(*file, *bundle, profile, versions, options))
            seconds += action->estimatedTime();
    return seconds + file->estimatedTimeMargin();
}

}  // namespace fwu
