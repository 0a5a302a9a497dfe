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
#include "engine/TransferExtraction.h"
#include "package/Blob.h"
#include "package/KfwFile.h"
#include "package/TransferMStarDataAction.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu {
namespace {

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

}  // namespace

namespace internal {

KmError ExtractTransferMStarData(const kfw::KfwFile* file, dev::Monitor& monitor, uint32_t options,
                                 std::vector<const kfw::TransferMStarDataAction*>* actions) {
    kfw::Bundle* bundle = nullptr;
    kfw::DeviceVersionList versions;
    KmError status = KfwFileGetBundleForMonitor(file, monitor, &bundle, &versions);
    if (status < 0) return status;
    if (!bundle || !file) return KmErrorInvalidState;

    dev::DeviceProfileList profile;
    if ((status = ReadDeviceProfile(*file, monitor, &profile)) < 0) return status;
    const auto found = ExtractTransferMStarData(*file, *bundle, profile, versions, options);
    if (actions) actions->insert(actions->end(), found.begin(), found.end());
    return status;
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

KmError MStarTransferBlob(dev::Monitor& monitor, uint32_t address, const kfw::Blob& blob,
                          const FWTransferProgress& progress, FWTransferProgressCallback callback,
                          void* userData) {
    if (address % kBlockSize != 0) return KmErrorInvalidState;
    const size_t size = blob.size();
    const size_t blocks = (size + kBlockSize - 1) / kBlockSize;
    if (blocks == 0) return 0;

    FWTransferProgress current = progress;
    std::vector<uint8_t> buffer(kBlockSize);
    KmError status = 0;
    for (size_t k = 0; k < blocks; ++k) {
        const uint32_t blockAddress = address + uint32_t(k * kBlockSize);
        if ((status = monitor.mstarBlockErase(blockAddress)) < 0) return status;
        if ((status = MStarWaitForReady(monitor, kReadyWaitSeconds)) < 0) return status;

        const uint32_t length = internal::FillFlashBlock(blob, k, &buffer);
        for (uint32_t i = 0; i < kPagesPerBlock; ++i) {
            status = monitor.mstarWriteData(blockAddress + kFlashPage * i,
                                            buffer.data() + kFlashPage * i, kFlashPage);
            if (status < 0) return status;
            current.transferredBytes += internal::FlashPageProgress(i, length);
            if (!internal::ContinueTransfer(callback, current, userData)) return KmErrorCancelled;
        }
        if ((status = MStarWaitForReady(monitor, kReadyWaitSeconds)) < 0) return status;
        if ((status = ReadBackAndCompare(monitor, blockAddress, buffer)) < 0) return status;
    }
    return status;
}

KmError MStarUpdateFlag(dev::Monitor& monitor, uint32_t flagAddress) {
    const uint32_t offset = flagAddress % kFlagSectorSize;
    const uint32_t sector = flagAddress - offset;
    if (offset > kFlagSectorSize - kMarkerLength) return KmErrorInvalidState;

    KmError status = monitor.mstarSectorErase(sector);
    if (status < 0) return status;
    // The flash ignores write enables while it erases, so pages sent during the erase would
    // be lost and the marker with them; a sector erase outlasts several page requests.
    if ((status = MStarWaitForReady(monitor, kReadyWaitSeconds)) < 0) return status;
    std::vector<uint8_t> buffer(kFlagSectorSize, kErasedByte);
    std::fill_n(buffer.begin() + offset, kMarkerLength, kMarkerByte);
    for (uint32_t i = 0; i < kPagesPerSector; ++i) {
        status = monitor.mstarWriteData(sector + kFlashPage * i, buffer.data() + kFlashPage * i,
                                        kFlashPage);
        if (status < 0) return status;
    }
    if ((status = MStarWaitForReady(monitor, kReadyWaitSeconds)) < 0) return status;
    return ReadBackAndCompare(monitor, sector, buffer);
}

}  // namespace internal

KmError MStarInitialize(dev::Monitor& monitor) {
    KmError status = monitor.mstarSetISPMode();
    if (status < 0) return status;
    if ((status = monitor.mstarSetSWFlashWriteProtection(false)) < 0) return status;
    internal::SleepMilliseconds(kPollMilliseconds);
    return internal::MStarWaitForReady(monitor, kReadyWaitSeconds);
}

KmError MStarTransferUpdateData(dev::Monitor& monitor, const kfw::KfwFile* file,
                                FWTransferProgressCallback callback, void* userData,
                                const std::vector<const kfw::TransferMStarDataAction*>& actions) {
    if (!file) return KmErrorInvalidArgument;
    const uint64_t total = internal::TransferDataBytes(*file, actions);
    if (total == 0 || actions.empty()) return KmErrorNoData;

    FWTransferProgress progress{0, uint32_t(actions.size()), 0, uint32_t(total)};
    uint64_t done = 0;
    KmError status = 0;
    for (const kfw::TransferMStarDataAction* action : actions) {
        const kfw::Blob* blob = file->findBlob(action->blobID());
        if (!blob) continue;
        status = internal::MStarTransferBlob(monitor, action->address(), *blob, progress,
                                             callback, userData);
        if (status < 0) return status;
        done += blob->size();
        ++progress.completedCount;
        progress.transferredBytes = uint32_t(done);
        if (!internal::ContinueTransfer(callback, progress, userData)) return KmErrorCancelled;
    }
    return status;
}

KmError MStarSetUpdateFlag(dev::Monitor& monitor, const kfw::KfwFile* file,
                           const std::vector<const kfw::TransferMStarDataAction*>& actions) {
    if (!file) return KmErrorInvalidArgument;
    if (internal::TransferDataBytes(*file, actions) == 0) return KmErrorNoData;
    KmError status = KmErrorNoData;
    for (const kfw::TransferMStarDataAction* action : actions) {
        status = internal::MStarUpdateFlag(monitor, action->updateFlagAddress());
        if (status < 0) return status;
    }
    return status;
}

KmError MStarFinalize(dev::Monitor& monitor) {
    // A failure can leave a flash command open on the bridge, which would swallow the
    // protection commands; closing it first gets the protection back on after any failure.
    monitor.mstarEndCommand();
    // The monitor stays in ISP mode: leaving it is the power cycle's job, which also applies
    // the marked images.
    return monitor.mstarSetSWFlashWriteProtection(true);
}

}  // namespace fwu
