// SPDX-License-Identifier: Apache-2.0
// The scaler update: each image goes straight into the scaler's serial flash through the ISP
// bridge, block by block with a read-back check, and only when every image is in place is an
// update marker written for each, so that a half-written image is never marked.
#include "engine/MStarUpdate.h"

#include <algorithm>
#include <cstring>

#include "device/Monitor.h"
#include "device/Sleep.h"
#include "engine/BundleSearch.h"
#include "engine/FlashBlock.h"
#include "engine/Progress.h"
#include "engine/ProgressGate.h"
#include "engine/TransferExtraction.h"
#include "engine/UpdateFlow.h"
#include "engine/UpdatePlan.h"
#include "package/Blob.h"
#include "package/KfwFile.h"
#include "package/TransferMStarDataAction.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu {
namespace {

using internal::FlashRange;
using internal::PlannedImage;
using internal::UpdatePlan;

constexpr uint32_t kBlockSize = internal::kFlashBlockSize;
constexpr uint32_t kFlashPage = internal::kFlashPageSize;
constexpr uint32_t kPagesPerBlock = internal::kFlashPagesPerBlock;
constexpr uint32_t kFlagSectorSize = 0x1000;
constexpr uint32_t kPagesPerSector = kFlagSectorSize / kFlashPage;
constexpr uint8_t kErasedByte = internal::kErasedFlashByte;
constexpr uint8_t kMarkerByte = 0xA5;
constexpr uint32_t kMarkerLength = 4;
constexpr uint32_t kReadyWaitSeconds = 60;
constexpr uint32_t kPollMilliseconds = 100;
// The serial flash takes 24-bit addresses: anything at or past 16 MiB would wrap to the start.
constexpr uint64_t kAddressSpace = uint64_t(1) << 24;
// A page program takes milliseconds at most, so the wait before the next write polls briefly
// before it falls back to the long wait.
constexpr uint32_t kQuickReads = 20;
constexpr uint32_t kQuickPollMilliseconds = 1;

bool g_readinessPolls = true;

// Reads `length` bytes (a multiple of a page) back from the flash, one page per request, and
// compares them with what was written. Returns the status of the last read.
KmError ReadBackAndCompare(dev::Monitor& monitor, uint32_t address,
                           const std::vector<uint8_t>& expected) {
    std::vector<uint8_t> actual(expected.size(), 0);
    KmError status = 0;
    for (uint32_t offset = 0; offset < expected.size(); offset += kFlashPage) {
        status = monitor.mstarReadData(address + offset, actual.data() + offset, kFlashPage);
        if (status < 0) return status;
    }
    return actual == expected ? status : KmErrorVerifyFailed;
}

// Polls the flash a few times without the long pause: 1 when it is ready, 0 when it stayed
// busy, or a failed read's status.
KmError QuicklyReady(dev::Monitor& monitor) {
    for (uint32_t read = 0; read < kQuickReads; ++read) {
        dev::Monitor::MStarFlashStatus flash{true};
        const KmError status = monitor.mstarReadFlashStatus(&flash);
        if (status < 0) return status;
        if (!flash.busy) return 1;
        internal::SleepMilliseconds(kQuickPollMilliseconds);
    }
    return 0;
}

// Programs one page once the flash has finished what came before: a busy flash ignores the
// write enable and the page with it.
KmError ProgramPage(dev::Monitor& monitor, uint32_t address, const uint8_t* page) {
    const KmError ready = internal::MStarWaitBeforeWrite(monitor);
    if (ready < 0) return ready;
    return monitor.mstarWriteData(address, page, kFlashPage);
}

// Writes and verifies one image; `gate` learns when its flash is erased.
KmError WriteScalerImage(dev::Monitor& monitor, uint32_t address, const kfw::Blob& blob,
                         const FWTransferProgress& progress, internal::ProgressGate& gate) {
    if (address % kBlockSize != 0) return KmErrorInvalidState;
    const size_t blocks = (blob.size() + kBlockSize - 1) / kBlockSize;
    FWTransferProgress current = progress;
    std::vector<uint8_t> buffer(kBlockSize);
    KmError status = 0;
    for (size_t k = 0; k < blocks; ++k) {
        const uint32_t blockAddress = address + uint32_t(k * kBlockSize);
        if ((status = internal::MStarWaitBeforeWrite(monitor)) < 0) return status;
        gate.erasing();
        if ((status = monitor.mstarBlockErase(blockAddress)) < 0) return status;
        if ((status = internal::MStarWaitForReady(monitor, kReadyWaitSeconds)) < 0) return status;

        const uint32_t length = internal::FillFlashBlock(blob, k, &buffer);
        for (uint32_t i = 0; i < kPagesPerBlock; ++i) {
            status =
                ProgramPage(monitor, blockAddress + kFlashPage * i, buffer.data() + kFlashPage * i);
            if (status < 0) return status;
            current.transferredBytes += internal::FlashPageProgress(i, length);
            if (!gate.report(current)) return KmErrorCancelled;
        }
        if ((status = internal::MStarWaitForReady(monitor, kReadyWaitSeconds)) < 0) return status;
        if ((status = ReadBackAndCompare(monitor, blockAddress, buffer)) < 0) return status;
    }
    return status;
}

// A marker needs its own sector: erasing it must take nothing else with it.
FlashRange MarkerSector(uint32_t flagAddress) {
    const uint64_t sector = flagAddress - flagAddress % kFlagSectorSize;
    return {sector, sector + kFlagSectorSize};
}

KmError CheckScalerImage(const PlannedImage& image) {
    if (image.address % kBlockSize != 0) return KmErrorInvalidState;
    if (internal::ImageRange(image).end > kAddressSpace) return KmErrorInvalidState;
    if (image.flag % kFlagSectorSize > kFlagSectorSize - kMarkerLength) return KmErrorInvalidState;
    if (uint64_t(image.flag) + kMarkerLength > kAddressSpace) return KmErrorInvalidState;
    return 0;
}

KmError CheckScalerLayout(const UpdatePlan& plan) {
    if (!internal::ImagesApart(plan)) return KmErrorInvalidState;
    for (size_t i = 0; i < plan.images.size(); ++i) {
        const FlashRange sector = MarkerSector(plan.images[i].flag);
        for (size_t j = 0; j < plan.images.size(); ++j) {
            if (sector.overlaps(internal::ImageRange(plan.images[j]))) return KmErrorInvalidState;
            if (j > i && sector.overlaps(MarkerSector(plan.images[j].flag)))
                return KmErrorInvalidState;
        }
    }
    return 0;
}

// The scaler: it runs its firmware in place from the flash, so an image erased and not
// rewritten leaves a monitor that does not start.
class ScalerFlow : public internal::UpdateFlow {
public:
    // From the ISP mode request on, the scaler may have stopped running its firmware until its
    // next power cycle, whether or not the request reported success.
    KmError begin(dev::Monitor& monitor) override {
        m_ispModeAsked = true;
        return MStarInitialize(monitor);
    }
    KmError writeImage(dev::Monitor& monitor, const PlannedImage& image,
                       const FWTransferProgress& progress, internal::ProgressGate& gate) override {
        return WriteScalerImage(monitor, image.address, *image.blob, progress, gate);
    }
    // Markers only for the images this run wrote and verified.
    KmError finish(dev::Monitor& monitor, const UpdatePlan& plan) override {
        KmError status = KmErrorNoData;
        for (const PlannedImage& image : plan.images)
            if ((status = internal::MStarUpdateFlag(monitor, image.flag)) < 0) return status;
        return status;
    }
    KmError end(dev::Monitor& monitor) override { return MStarFinalize(monitor); }
    FWUpdateOutcome outcome(const internal::RunState& state) const override {
        if (state.finished) return FWUpdateOutcomeComplete;
        if (state.imageErased) return FWUpdateOutcomeNeedsRecovery;
        if (state.imagesDone > 0) return FWUpdateOutcomeMixed;
        return state.begun || m_ispModeAsked ? FWUpdateOutcomeOldFirmwareKept
                                             : FWUpdateOutcomeUntouched;
    }

private:
    bool m_ispModeAsked = false;
};

}  // namespace

namespace internal {

KmError ExtractTransferMStarData(const kfw::KfwFile* file, dev::Monitor& monitor, uint32_t options,
                                 std::vector<const kfw::TransferMStarDataAction*>* actions) {
    kfw::Bundle* bundle = nullptr;
    kfw::DeviceVersionList versions;
    dev::DeviceProfileList profile;
    const KmError status = FindBundleAndProfile(file, monitor, &bundle, &versions, &profile);
    if (status < 0) return status;
    const auto found = ExtractTransferMStarData(*file, *bundle, profile, versions, options);
    if (actions) actions->insert(actions->end(), found.begin(), found.end());
    return status;
}

KmError PlanScaler(dev::Monitor& monitor, const kfw::KfwFile* file, uint32_t options,
                   UpdatePlan* plan) {
    std::vector<const kfw::TransferMStarDataAction*> actions;
    const KmError status = ExtractTransferMStarData(file, monitor, options, &actions);
    if (status < 0) return status;
    plan->kind = UpdateKind::Scaler;
    plan->actionCount = uint32_t(actions.size());
    plan->estimatedSeconds = file->estimatedTimeMargin();
    // An image that is missing or empty is neither written nor marked.
    for (const kfw::TransferMStarDataAction* action : actions) {
        PlannedImage image;
        image.action = action;
        image.blob = file->findBlob(action->blobID());
        if (!image.blob || image.blob->size() == 0) continue;
        image.address = action->address();
        image.blocks = uint32_t((image.blob->size() + kBlockSize - 1) / kBlockSize);
        image.flagged = true;
        image.flag = action->updateFlagAddress();
        if (const KmError check = CheckScalerImage(image); check < 0) return check;
        plan->estimatedSeconds += action->estimatedTime();
        plan->add(std::move(image));
    }
    if (plan->images.empty()) return KmErrorNoData;
    const KmError layout = CheckScalerLayout(*plan);
    return layout < 0 ? layout : status;
}

KmError MStarWaitForReady(dev::Monitor& monitor, uint32_t seconds) {
    // The limit is counted in reads, not measured: each read is followed by one poll interval,
    // so the wait lasts at least `seconds` whatever the link adds.
    const uint64_t reads = uint64_t(seconds) * 10 + 2;
    for (uint64_t read = 1;; ++read) {
        dev::Monitor::MStarFlashStatus status{true};
        const KmError result = monitor.mstarReadFlashStatus(&status);
        if (result < 0) return result;
        SleepMilliseconds(kPollMilliseconds);
        if (read == reads) return KmErrorTimeout;
        if (!status.busy) return 0;
    }
}

KmError MStarWaitBeforeWrite(dev::Monitor& monitor) {
    if (!g_readinessPolls) return 0;
    const KmError quick = QuicklyReady(monitor);
    if (quick != 0) return quick < 0 ? quick : 0;
    return MStarWaitForReady(monitor, kReadyWaitSeconds);
}

void SetMStarReadinessPolls(bool on) { g_readinessPolls = on; }

KmError MStarTransferBlob(dev::Monitor& monitor, uint32_t address, const kfw::Blob& blob,
                          const FWTransferProgress& progress, FWTransferProgressCallback callback,
                          void* userData) {
    ProgressGate gate(callback, userData);
    return WriteScalerImage(monitor, address, blob, progress, gate);
}

KmError MStarUpdateFlag(dev::Monitor& monitor, uint32_t flagAddress) {
    const uint32_t offset = flagAddress % kFlagSectorSize;
    const uint32_t sector = flagAddress - offset;
    if (offset > kFlagSectorSize - kMarkerLength) return KmErrorInvalidState;

    KmError status = MStarWaitBeforeWrite(monitor);
    if (status < 0) return status;
    if ((status = monitor.mstarSectorErase(sector)) < 0) return status;
    // The flash ignores write enables while it erases, so pages sent during the erase would
    // be lost and the marker with them; a sector erase outlasts several page requests.
    if ((status = MStarWaitForReady(monitor, kReadyWaitSeconds)) < 0) return status;
    std::vector<uint8_t> buffer(kFlagSectorSize, kErasedByte);
    std::fill_n(buffer.begin() + offset, kMarkerLength, kMarkerByte);
    for (uint32_t i = 0; i < kPagesPerSector; ++i)
        if ((status =
                 ProgramPage(monitor, sector + kFlashPage * i, buffer.data() + kFlashPage * i)) < 0)
            return status;
    if ((status = MStarWaitForReady(monitor, kReadyWaitSeconds)) < 0) return status;
    return ReadBackAndCompare(monitor, sector, buffer);
}

}  // namespace internal

KmError MStarInitialize(dev::Monitor& monitor) {
    KmError status = monitor.mstarSetISPMode();
    if (status < 0) return status;
    if ((status = internal::MStarWaitBeforeWrite(monitor)) < 0) return status;
    if ((status = monitor.mstarSetSWFlashWriteProtection(false)) < 0) return status;
    internal::SleepMilliseconds(kPollMilliseconds);
    return internal::MStarWaitForReady(monitor, kReadyWaitSeconds);
}

KmError MStarUpdateFirmware(dev::Monitor& monitor, const kfw::KfwFile* file,
                            FWTransferProgressCallback callback, void* userData, uint32_t options,
                            FWUpdateOutcome* outcome) {
    // Nothing to write or an address out of place: refused before ISP mode or unprotecting.
    ScalerFlow flow;
    return internal::PlanAndRun(internal::PlanScaler, flow, monitor, file, options, callback,
                                userData, outcome);
}

KmError MStarFinalize(dev::Monitor& monitor) {
    // A failure can leave a flash command open on the bridge, which would swallow the
    // protection commands; closing it first gets the protection back on after any failure.
    monitor.mstarEndCommand();
    // A flash still busy with a page would ignore the write enable of the protection. A flash
    // stuck busy is not waited for long: the protection is tried all the same.
    if (g_readinessPolls) QuicklyReady(monitor);
    // The monitor stays in ISP mode: leaving it is the power cycle's job, which also applies
    // the marked images.
    return monitor.mstarSetSWFlashWriteProtection(true);
}

}  // namespace fwu
