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
// Works out and checks the ZV update with reads only: images with their blocks and flags,
// refusing (KmErrorInvalidState) an image off a block boundary, past the 32-bit address space
// or sharing a block with another. Empty and missing images are left out.
KmError PlanZV(dev::Monitor& monitor, const kfw::KfwFile* file, uint32_t options, UpdatePlan* plan);
// Erases and writes one image block by block, then checks the monitor's checksum of it.
KmError ZVTransferBlob(dev::Monitor& monitor, uint32_t address, const kfw::Blob& blob,
                       const FWTransferProgress& progress, FWTransferProgressCallback callback,
                       void* userData);
}  // namespace internal

// The ZV transfer of every image the monitor still needs, then their update flags; the
// transfer state stays 1.
KmError ZVTransferUpdateData(dev::Monitor& monitor, const kfw::KfwFile* file,
                             FWTransferProgressCallback callback, void* userData, uint32_t options,
                             FWUpdateOutcome* outcome = nullptr);
// Sets the transfer state to 2 and restarts the monitor, which installs the flagged images.
KmError ZVTriggerUpdate(dev::Monitor& monitor);

}  // namespace fwu
