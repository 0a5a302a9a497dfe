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
#include "engine/Progress.h"
#include "engine/TransferExtraction.h"
#include "package/Blob.h"
#include "package/KfwFile.h"
#include "package/TransferZVDataAction.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu {
namespace {

constexpr uint32_t kBlockSize = internal::kFlashBlockSize;
constexpr uint32_t kPageSize = internal::kFlashPageSize;
constexpr uint32_t kPagesPerBlock = internal::kFlashPagesPerBlock;
// Gives the monitor time to switch into its transfer mode before the first erase.
constexpr uint32_t kTransferStateSettleMs = 100;

constexpr uint32_t kTransferStateTransferring = 1;
constexpr uint32_t kTransferStateTransferred = 2;

}  // namespace

namespace internal {

KmError ZVTransferBlob(dev::Monitor& monitor, uint32_t address, const kfw::Blob& blob,
                       const FWTransferProgress& progress, FWTransferProgressCallback callback,
                       void* userData) {
    if (address % kBlockSize != 0) return KmErrorInvalidState;

    const size_t size = blob.size();
    const size_t blocks = (size + kBlockSize - 1) / kBlockSize;
    FWTransferProgress current = progress;
    uint32_t sum = 0;
    std::vector<uint8_t> buffer(kBlockSize);
    KmError status = 0;

    for (size_t k = 0; k < blocks; ++k) {
        const size_t offset = k * kBlockSize;
        const uint32_t blockAddress = address + uint32_t(offset);
        if ((status = monitor.zvBlockErase(blockAddress)) < 0) return status;

        const uint32_t length = internal::FillFlashBlock(blob, k, &buffer);
        for (uint8_t byte : buffer) sum += byte;
        for (uint32_t page = 0; page < kPagesPerBlock; ++page) {
            status = monitor.zvWriteData(blockAddress + page * kPageSize,
                                         buffer.data() + page * kPageSize, kPageSize);
            if (status < 0) return status;
            current.transferredBytes += internal::FlashPageProgress(page, length);
            if (!internal::ContinueTransfer(callback, current, userData)) return KmErrorCancelled;
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

}  // namespace internal

KmError ZVTransferUpdateData(dev::Monitor& monitor, const kfw::KfwFile* file,
                             FWTransferProgressCallback callback, void* userData,
                             uint32_t options) {
    kfw::Bundle* bundle = nullptr;
    kfw::DeviceVersionList versions;
    KmError status = internal::KfwFileGetBundleForMonitor(file, monitor, &bundle, &versions);
    if (status < 0) return status;
    if (!bundle) return KmErrorInvalidState;

    dev::DeviceProfileList profile;
    if ((status = internal::ReadDeviceProfile(*file, monitor, &profile)) < 0) return status;

    const std::vector<const kfw::TransferZVDataAction*> actions =
        internal::ExtractTransferZVData(*file, *bundle, profile, versions, options);
    const uint64_t total = internal::TransferDataBytes(*file, actions);
    if (total == 0 || actions.empty()) return KmErrorNoData;

    FWTransferProgress progress{};
    progress.completedCount = 0;
    progress.totalCount = uint32_t(actions.size());
    progress.transferredBytes = 0;
    progress.totalBytes = uint32_t(total);

    if ((status = monitor.setTransferState(kTransferStateTransferring)) < 0) return status;
    internal::SleepMilliseconds(kTransferStateSettleMs);

    // A failure leaves the state at 1: resetting it is the caller's business, which also covers
    // failures before this point.
    uint64_t done = 0;
    for (const kfw::TransferZVDataAction* action : actions) {
        const kfw::Blob* blob = file->findBlob(action->blobID());
        if (!blob) continue;
        status = internal::ZVTransferBlob(monitor, action->address(), *blob, progress, callback,
                                          userData);
        if (status < 0) return status;
        done += blob->size();
        ++progress.completedCount;
        progress.transferredBytes = uint32_t(done);
        if (!internal::ContinueTransfer(callback, progress, userData)) return KmErrorCancelled;
    }

    // Flags only once every image passed its checksum, so a failed run never has the monitor
    // install a partial set.
    for (const kfw::TransferZVDataAction* action : actions) {
        const dev::DeviceProfile* device = profile.findAddress(action->address());
        // Nothing was written for an action without its image: flagging it would have the
        // monitor install whatever its flash happens to hold there.
        if (!device || !file->findBlob(action->blobID())) continue;
        status = monitor.zvSetUpdateFlag(uint8_t(device->updateFlagIndex), true);
        if (status < 0) return status;
    }
    return status;
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
