// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "flashkit/flashkit.h"

namespace fwu::dev {
class Monitor;
}
namespace fwu::kfw {
class Blob;
class KfwFile;
}  // namespace fwu::kfw

namespace fwu {

namespace internal {
struct UpdatePlan;
// Works out and checks the record-file update: the images, their files and temporary copies,
// with the monitor asked only for reads.
KmError PlanRecordFiles(dev::Monitor& monitor, const kfw::KfwFile* file, uint32_t options,
                        UpdatePlan* plan);
// Writes one image into the lower-case temporary copy of `fileName` and checks the monitor's
// CRC-32 of it.
KmError TransferBlob(dev::Monitor& monitor, const char* fileName, const kfw::Blob& blob,
                     const FWTransferProgress& progress, FWTransferProgressCallback callback,
                     void* userData);
}  // namespace internal

// The record-file transfer of every image the monitor still needs; leaves the transfer state
// at 2 when all are in place. `outcome` (optional) tells what the run left on the monitor.
KmError TransferUpdateData(dev::Monitor& monitor, const kfw::KfwFile* file,
                           FWTransferProgressCallback callback, void* userData, uint32_t options,
                           FWUpdateOutcome* outcome = nullptr);
// Hands the transferred images to the monitor and restarts it.
KmError TriggerUpdate(dev::Monitor& monitor);
// After the restart: every target version reached, else KmErrorNotFinished.
KmError CheckFirmwareUpdateFinished(dev::Monitor& monitor, const kfw::KfwFile* file);

}  // namespace fwu
