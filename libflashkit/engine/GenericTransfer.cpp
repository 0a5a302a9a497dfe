#include "engine/GenericTransfer.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "core/Crc32.h"
#include "device/Monitor.h"
#include "device/Sleep.h"
#include "engine/BundleSearch.h"
#include "engine/Progress.h"
#include "engine/TransferExtraction.h"
#include "package/KfwFile.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu {
namespace {

constexpr uint32_t kCrcInitial = 0xFEEDBEEF;
constexpr uint32_t kCrcPollMs = 100;

// The monitor keeps an image in the lower-case copy of its file until the update is triggered.
std::string TemporaryName(const char* fileName) {
    std::string name(fileName);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return name;
}

}  // namespace

KmError internal::TransferBlob(dev::Monitor& monitor, const char* fileName, const kfw::Blob& blob,
                               const FWTransferProgress& progress,
                               FWTransferProgressCallback callback, void* userData) {
    const std::string temporary = TemporaryName(fileName);
    dev::Monitor::FileProperty property;
    KmError status = monitor.getFileProperty(fileName, &property);
    if (status < 0) return status;
    if (property.recordSize == 0) return KmErrorNotSupported;
    const uint64_t size = blob.size();
    if (size != uint64_t(property.recordSize) * property.recordCount) {
        // An image may fill fewer records than the file has, but only whole ones.
        property.recordCount = uint16_t(size / property.recordSize);
        if (size != uint64_t(property.recordSize) * property.recordCount) return KmErrorNotSupported;
    }
    if ((status = monitor.createTemporaryFile(temporary.c_str(), property)) < 0) return status;

    for (uint32_t record = 0; record < property.recordCount; ++record) {
        FWTransferProgress step = progress;
        step.transferredBytes += record * property.recordSize;
        status = monitor.writeFileDataAtomic(temporary.c_str(), uint16_t(record),
                                             blob.bytes() + uint64_t(record) * property.recordSize,
                                             property.recordSize, step, callback, userData);
        if (status < 0) return status;
    }

    if ((status = monitor.triggerCrc32Calculation(temporary.c_str(), kCrcInitial)) < 0)
        return status;
    FWTransferProgress verifying = progress;
    verifying.transferredBytes += uint32_t(size);
    dev::Monitor::Crc32Result result;
    for (;;) {
        if ((status = monitor.getCrc32Result(temporary.c_str(), &result)) < 0) return status;
        if (!internal::ContinueTransfer(callback, verifying, userData)) return KmErrorCancelled;
        // The monitor may take long for a large file; the caller can cancel from the callback.
        if (!result.busy) break;
        internal::SleepMilliseconds(kCrcPollMs);
    }
    if (result.crc != Crc32::calculate(kCrcInitial, blob.bytes(), blob.size()))
        return KmErrorChecksumMismatch;
    return status;
}

KmError TransferUpdateData(dev::Monitor& monitor, const kfw::KfwFile* file,
                           FWTransferProgressCallback callback, void* userData, uint32_t options) {
    kfw::Bundle* bundle = nullptr;
    kfw::DeviceVersionList versions;
    KmError status = internal::KfwFileGetBundleForMonitor(file, monitor, &bundle, &versions);
    if (status < 0) return status;
    if (!bundle) return KmErrorInvalidState;
    dev::DeviceProfileList profile;
    if ((status = internal::ReadDeviceProfile(*file, monitor, &profile)) < 0) return status;

    const auto actions = internal::ExtractTransferData(*file, *bundle, profile, versions, options);
    const uint64_t total = internal::TransferDataBytes(*file, actions);
    if (total == 0 || actions.empty()) return KmErrorNoData;
    FWTransferProgress progress{0, uint32_t(actions.size()), 0, uint32_t(total)};

    if ((status = monitor.setTransferState(FWTransferStateTransferring)) < 0) return status;
    uint64_t done = 0;
    for (const kfw::TransferDataAction* action : actions) {
        const kfw::Blob* blob = file->findBlob(action->blobID());
        if (!blob) continue;
        status = internal::TransferBlob(monitor, action->fileName().c_str(), *blob, progress,
                                        callback, userData);
        if (status < 0) return status;
        ++progress.completedCount;
        done += blob->size();
        progress.transferredBytes = uint32_t(done);
        if (!internal::ContinueTransfer(callback, progress, userData)) return KmErrorCancelled;
    }
    return monitor.setTransferState(FWTransferStateTransferred);
}

KmError TriggerUpdate(dev::Monitor& monitor) {
    uint32_t state = 0;
    KmError status = monitor.getTransferState(&state);
    if (status < 0) return status;
    if (state != FWTransferStateTransferred) return KmErrorInvalidState;
    if ((status = monitor.setTransferState(FWTransferStateNone)) < 0) return status;
    return monitor.restartMPU();
}

KmError CheckFirmwareUpdateFinished(dev::Monitor& monitor, const kfw::KfwFile* file) {
    kfw::DeviceVersionList versions;
    KmError status = internal::KfwFileGetBundleForMonitor(file, monitor, nullptr, &versions);
    if (status < 0) return status;
    for (const kfw::DeviceVersion& target : file->targetVersion().items())
        if (!versions.match(target, Version::OperatorEqual)) return KmErrorNotFinished;
    return status;
}

}  // namespace fwu
