// SPDX-License-Identifier: Apache-2.0
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
#include "engine/UpdateFlow.h"
#include "package/KfwFile.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu {
namespace {

constexpr uint32_t kCrcInitial = 0xFEEDBEEF;
constexpr uint32_t kCrcPollMs = 100;
constexpr size_t kFileNameLength = 6;

// The monitor keeps an image in the lower-case copy of its file until the update is triggered.
std::string TemporaryName(const std::string& fileName) {
    std::string name = fileName.substr(0, kFileNameLength);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return name;
}

// The file's geometry for an image of `size` bytes: it may fill fewer records than the file
// has, but only whole ones.
KmError FitRecords(uint64_t size, dev::Monitor::FileProperty* property) {
    if (property->recordSize == 0) return KmErrorNotSupported;
    if (size == uint64_t(property->recordSize) * property->recordCount) return 0;
    property->recordCount = uint16_t(size / property->recordSize);
    return size == uint64_t(property->recordSize) * property->recordCount ? 0 : KmErrorNotSupported;
}

// Checks one image's file and works out where it goes, asking the monitor only for reads.
KmError PlanRecordImage(dev::Monitor& monitor, const std::string& fileName,
                        internal::PlannedImage* image) {
    if (fileName.size() < kFileNameLength) return KmErrorInvalidArgument;
    image->fileName = fileName;
    image->temporaryName = TemporaryName(fileName);
    // A name without letters is its own lower-case form: the "temporary" copy would be the
    // live firmware file, overwritten in place before any check.
    if (image->temporaryName == fileName.substr(0, kFileNameLength)) return KmErrorNotSupported;
    const KmError status = monitor.getFileProperty(fileName.c_str(), &image->property);
    if (status < 0) return status;
    const KmError fits = FitRecords(image->size(), &image->property);
    return fits < 0 ? fits : status;
}

// Creates the temporary file, writes its records and checks the monitor's CRC-32 of it.
KmError WriteRecordImage(dev::Monitor& monitor, const internal::PlannedImage& image,
                         const FWTransferProgress& progress, FWTransferProgressCallback callback,
                         void* userData) {
    const char* temporary = image.temporaryName.c_str();
    const dev::Monitor::FileProperty& property = image.property;
    KmError status = monitor.createTemporaryFile(temporary, property);
    if (status < 0) return status;
    for (uint32_t record = 0; record < property.recordCount; ++record) {
        FWTransferProgress step = progress;
        step.transferredBytes += record * property.recordSize;
        status = monitor.writeFileDataAtomic(temporary, uint16_t(record),
                                             image.blob->bytes() +
                                                 uint64_t(record) * property.recordSize,
                                             property.recordSize, step, callback, userData);
        if (status < 0) return status;
    }

    if ((status = monitor.triggerCrc32Calculation(temporary, kCrcInitial)) < 0) return status;
    FWTransferProgress verifying = progress;
    verifying.transferredBytes += uint32_t(image.size());
    dev::Monitor::Crc32Result result;
    for (;;) {
        if ((status = monitor.getCrc32Result(temporary, &result)) < 0) return status;
        if (!internal::ContinueTransfer(callback, verifying, userData)) return KmErrorCancelled;
        // The monitor may take long for a large file; the caller can cancel from the callback.
        if (!result.busy) break;
        internal::SleepMilliseconds(kCrcPollMs);
    }
    if (result.crc != Crc32::calculate(kCrcInitial, image.blob->bytes(), image.blob->size()))
        return KmErrorChecksumMismatch;
    return status;
}

// Record files: images go to temporary copies that the monitor takes over only when triggered
// after a complete run, so any stop before that leaves its firmware as it was.
class RecordFileFlow : public internal::UpdateFlow {
public:
    RecordFileFlow(FWTransferProgressCallback callback, void* userData)
        : m_callback(callback), m_userData(userData) {}

    KmError begin(dev::Monitor& monitor) override {
        return monitor.setTransferState(FWTransferStateTransferring);
    }
    KmError writeImage(dev::Monitor& monitor, const internal::PlannedImage& image,
                       const FWTransferProgress& progress, internal::ProgressGate&) override {
        // Nothing is erased here, so the caller's cancel may take effect at any page.
        return WriteRecordImage(monitor, image, progress, m_callback, m_userData);
    }
    KmError finish(dev::Monitor& monitor, const internal::UpdatePlan&) override {
        return monitor.setTransferState(FWTransferStateTransferred);
    }
    FWUpdateOutcome outcome(const internal::RunState& state) const override {
        if (state.finished) return FWUpdateOutcomeComplete;
        return state.begun ? FWUpdateOutcomeOldFirmwareKept : FWUpdateOutcomeUntouched;
    }

private:
    FWTransferProgressCallback m_callback;
    void* m_userData;
};

}  // namespace

KmError internal::TransferBlob(dev::Monitor& monitor, const char* fileName, const kfw::Blob& blob,
                               const FWTransferProgress& progress,
                               FWTransferProgressCallback callback, void* userData) {
    if (!fileName) return KmErrorInvalidArgument;
    PlannedImage image;
    image.blob = &blob;
    const KmError status = PlanRecordImage(monitor, fileName, &image);
    if (status < 0) return status;
    return WriteRecordImage(monitor, image, progress, callback, userData);
}

KmError internal::PlanRecordFiles(dev::Monitor& monitor, const kfw::KfwFile* file, uint32_t options,
                                  UpdatePlan* plan) {
    kfw::Bundle* bundle = nullptr;
    kfw::DeviceVersionList versions;
    dev::DeviceProfileList profile;
    KmError status = FindBundleAndProfile(file, monitor, &bundle, &versions, &profile);
    if (status < 0) return status;

    const auto actions = ExtractTransferData(*file, *bundle, profile, versions, options);
    plan->kind = UpdateKind::RecordFiles;
    plan->actionCount = uint32_t(actions.size());
    plan->estimatedSeconds = PlanSeconds(*file, *bundle, {actions.begin(), actions.end()});
    if (TransferDataBytes(*file, actions) == 0 || actions.empty()) return KmErrorNoData;
    for (const kfw::TransferDataAction* action : actions) {
        PlannedImage image;
        image.action = action;
        if (!(image.blob = file->findBlob(action->blobID()))) continue;
        if (const dev::DeviceProfile* device = profile.find(action->fileName())) {
            image.hasDevice = true;
            image.deviceID = device->device;
        }
        if ((status = PlanRecordImage(monitor, action->fileName(), &image)) < 0) return status;
        plan->add(std::move(image));
    }
    return status;
}

KmError TransferUpdateData(dev::Monitor& monitor, const kfw::KfwFile* file,
                           FWTransferProgressCallback callback, void* userData, uint32_t options,
                           FWUpdateOutcome* outcome) {
    RecordFileFlow flow(callback, userData);
    return internal::PlanAndRun(internal::PlanRecordFiles, flow, monitor, file, options, callback,
                                userData, outcome);
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
