// SPDX-License-Identifier: Apache-2.0
// ZV update flow: images go straight into the monitor's flash, 64 KiB block by block, each
// checked as a whole by the monitor's checksum; the devices written are then flagged so that
// the monitor installs them at its next restart.
#include "engine/ZVUpdate.h"

#include <algorithm>
#include <vector>

#include "device/Monitor.h"
#include "device/Sleep.h"
#include "engine/BundleSearch.h"
#include "engine/FlashBlock.h"
#include "engine/ProgressGate.h"
#include "engine/TransferExtraction.h"
#include "engine/UpdateFlow.h"
#include "engine/UpdatePlan.h"
#include "package/Blob.h"
#include "package/KfwFile.h"
#include "package/TransferZVDataAction.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu {
namespace {

using internal::PlannedImage;
using internal::UpdatePlan;

constexpr uint32_t kBlockSize = internal::kFlashBlockSize;
constexpr uint32_t kPageSize = internal::kFlashPageSize;
constexpr uint32_t kPagesPerBlock = internal::kFlashPagesPerBlock;
// Gives the monitor time to switch into its transfer mode before the first erase.
constexpr uint32_t kTransferStateSettleMs = 100;
constexpr uint64_t kAddressSpace = uint64_t(1) << 32;

constexpr uint32_t kTransferStateTransferring = 1;
constexpr uint32_t kTransferStateTransferred = 2;

KmError WriteZVImage(dev::Monitor& monitor, uint32_t address, const kfw::Blob& blob,
                     const FWTransferProgress& progress, internal::ProgressGate& gate) {
    if (address % kBlockSize != 0) return KmErrorInvalidState;

    const size_t blocks = (blob.size() + kBlockSize - 1) / kBlockSize;
    FWTransferProgress current = progress;
    uint32_t sum = 0;
    std::vector<uint8_t> buffer(kBlockSize);
    KmError status = 0;

    for (size_t k = 0; k < blocks; ++k) {
        const uint32_t blockAddress = address + uint32_t(k * kBlockSize);
        gate.erasing();
        if ((status = monitor.zvBlockErase(blockAddress)) < 0) return status;

        const uint32_t length = internal::FillFlashBlock(blob, k, &buffer);
        for (uint8_t byte : buffer) sum += byte;
        for (uint32_t page = 0; page < kPagesPerBlock; ++page) {
            status = monitor.zvWriteData(blockAddress + page * kPageSize,
                                         buffer.data() + page * kPageSize, kPageSize);
            if (status < 0) return status;
            current.transferredBytes += internal::FlashPageProgress(page, length);
            if (!gate.report(current)) return KmErrorCancelled;
        }
    }

    // Asked even for an empty image: the monitor's answer over nothing must still complement
    // the (zero) local sum.
    uint32_t device = 0;
    status = monitor.zvCalcChecksum(address, uint32_t(blocks * kBlockSize), &device);
    if (status < 0) return status;
    if (uint32_t(sum + device) != 0) return KmErrorVerifyFailed;
    return status;
}

// ZV: the flash regions are staging areas the monitor installs from at its restart when a
// device's flag is set, so only flags decide what a restart does.
class ZVFlow : public internal::UpdateFlow {
public:
    KmError begin(dev::Monitor& monitor) override {
        const KmError status = monitor.setTransferState(kTransferStateTransferring);
        if (status >= 0) internal::SleepMilliseconds(kTransferStateSettleMs);
        return status;
    }
    KmError writeImage(dev::Monitor& monitor, const PlannedImage& image,
                       const FWTransferProgress& progress, internal::ProgressGate& gate) override {
        // A flag left set by an earlier run would have the next restart install this area
        // while it is half rewritten.
        if (image.flagged) {
            const KmError status = monitor.zvSetUpdateFlag(uint8_t(image.flag), false);
            if (status < 0) return status;
        }
        return WriteZVImage(monitor, image.address, *image.blob, progress, gate);
    }
    // Flags only once every image passed its checksum, so a failed run never has the monitor
    // install a partial set.
    KmError finish(dev::Monitor& monitor, const UpdatePlan& plan) override {
        KmError status = 0;
        for (const PlannedImage& image : plan.images) {
            if (!image.flagged) continue;
            if ((status = monitor.zvSetUpdateFlag(uint8_t(image.flag), true)) < 0) return status;
            ++m_flagsSet;
        }
        return status;
    }
    FWUpdateOutcome outcome(const internal::RunState& state) const override {
        if (state.finished) return FWUpdateOutcomeComplete;
        if (m_flagsSet > 0) return FWUpdateOutcomeMixed;
        return state.begun ? FWUpdateOutcomeOldFirmwareKept : FWUpdateOutcomeUntouched;
    }

private:
    size_t m_flagsSet = 0;
};

}  // namespace

namespace internal {

KmError ZVTransferBlob(dev::Monitor& monitor, uint32_t address, const kfw::Blob& blob,
                       const FWTransferProgress& progress, FWTransferProgressCallback callback,
                       void* userData) {
    ProgressGate gate(callback, userData);
    return WriteZVImage(monitor, address, blob, progress, gate);
}

KmError PlanZV(dev::Monitor& monitor, const kfw::KfwFile* file, uint32_t options,
               UpdatePlan* plan) {
    kfw::Bundle* bundle = nullptr;
    kfw::DeviceVersionList versions;
    dev::DeviceProfileList profile;
    const KmError status = FindBundleAndProfile(file, monitor, &bundle, &versions, &profile);
    if (status < 0) return status;

    const auto actions = ExtractTransferZVData(*file, *bundle, profile, versions, options);
    plan->kind = UpdateKind::ZV;
    plan->actionCount = uint32_t(actions.size());
    plan->estimatedSeconds = PlanSeconds(*file, *bundle, {actions.begin(), actions.end()});
    // An empty image is not written: flagging its device would install whatever its area holds.
    for (const kfw::TransferZVDataAction* action : actions) {
        PlannedImage image;
        image.action = action;
        image.blob = file->findBlob(action->blobID());
        if (!image.blob || image.blob->size() == 0) continue;
        image.address = action->address();
        image.blocks = uint32_t((image.blob->size() + kBlockSize - 1) / kBlockSize);
        if (image.address % kBlockSize != 0 || ImageRange(image).end > kAddressSpace)
            return KmErrorInvalidState;
        if (const dev::DeviceProfile* device = profile.findAddress(image.address)) {
            image.hasDevice = true;
            image.deviceID = device->device;
            image.flagged = true;
            image.flag = uint8_t(device->updateFlagIndex);
        }
        plan->add(std::move(image));
    }
    if (plan->images.empty()) return KmErrorNoData;
    return ImagesApart(*plan) ? status : KmErrorInvalidState;
}

}  // namespace internal

KmError ZVTransferUpdateData(dev::Monitor& monitor, const kfw::KfwFile* file,
                             FWTransferProgressCallback callback, void* userData, uint32_t options,
                             FWUpdateOutcome* outcome) {
    // A failure leaves the state at 1: resetting it is the caller's business.
    ZVFlow flow;
    return internal::PlanAndRun(internal::PlanZV, flow, monitor, file, options, callback, userData,
                                outcome);
}

KmError ZVTriggerUpdate(dev::Monitor& monitor) {
    uint32_t state = 0;
    KmError status = monitor.getTransferState(&state);
    if (status < 0) return status;
    if (state != kTransferStateTransferring) return KmErrorInvalidState;
    if ((status = monitor.setTransferState(kTransferStateTransferred)) < 0) return status;
    // The monitor leaves the bus while it restarts, so whatever the request reports is moot.
    monitor.restartMPU();
    return 0;
}

}  // namespace fwu
