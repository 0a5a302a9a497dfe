// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "flashkit/flashkit.h"

namespace fwu::dev {
class Monitor;
}
namespace fwu::kfw {
class Blob;
class KfwFile;
class TransferMStarDataAction;
}  // namespace fwu::kfw

namespace fwu {

namespace internal {
struct UpdatePlan;
// Finds the bundle for the monitor and appends its scaler actions to `actions` (optional).
KmError ExtractTransferMStarData(const kfw::KfwFile* file, dev::Monitor& monitor, uint32_t options,
                                 std::vector<const kfw::TransferMStarDataAction*>* actions);
// Works out and checks the scaler update with reads only: images with their blocks and
// markers, refusing (KmErrorInvalidState) an image off a block boundary or past the 24-bit
// address space, a marker across its sector's end or past the address space, images that
// share a block, two markers in one sector and a marker sector inside an image.
KmError PlanScaler(dev::Monitor& monitor, const kfw::KfwFile* file, uint32_t options,
                   UpdatePlan* plan);
KmError MStarWaitForReady(dev::Monitor& monitor, uint32_t seconds);
// Waits until the flash has finished its last operation, before a write enable: a few quick
// polls, then the long ready-wait.
KmError MStarWaitBeforeWrite(dev::Monitor& monitor);
// Switches the waits before each write off and on, to measure what they cost.
void SetMStarReadinessPolls(bool on);
KmError MStarTransferBlob(dev::Monitor& monitor, uint32_t address, const kfw::Blob& blob,
                          const FWTransferProgress& progress, FWTransferProgressCallback callback,
                          void* userData);
KmError MStarUpdateFlag(dev::Monitor& monitor, uint32_t flagAddress);
}  // namespace internal

KmError MStarInitialize(dev::Monitor& monitor);
// The whole scaler update: plan and check, ISP mode and unprotect, every image written and
// verified, their markers, and the protection back on. `outcome` (optional) tells what the
// run left on the monitor.
KmError MStarUpdateFirmware(dev::Monitor& monitor, const kfw::KfwFile* file,
                            FWTransferProgressCallback callback, void* userData, uint32_t options,
                            FWUpdateOutcome* outcome = nullptr);
KmError MStarFinalize(dev::Monitor& monitor);

}  // namespace fwu
