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
// Finds the bundle for the monitor and appends its scaler actions to `actions` (optional).
KmError ExtractTransferMStarData(const kfw::KfwFile* file, dev::Monitor& monitor, uint32_t options,
                                 std::vector<const kfw::TransferMStarDataAction*>* actions);
KmError MStarWaitForReady(dev::Monitor& monitor, uint32_t seconds);
KmError MStarTransferBlob(dev::Monitor& monitor, uint32_t address, const kfw::Blob& blob,
                          const FWTransferProgress& progress, FWTransferProgressCallback callback,
                          void* userData);
KmError MStarUpdateFlag(dev::Monitor& monitor, uint32_t flagAddress);
}  // namespace internal

KmError MStarInitialize(dev::Monitor& monitor);
KmError MStarTransferUpdateData(dev::Monitor& monitor, const kfw::KfwFile* file,
                                FWTransferProgressCallback callback, void* userData,
                                const std::vector<const kfw::TransferMStarDataAction*>& actions);
KmError MStarSetUpdateFlag(dev::Monitor& monitor, const kfw::KfwFile* file,
                           const std::vector<const kfw::TransferMStarDataAction*>& actions);
KmError MStarFinalize(dev::Monitor& monitor);

}  // namespace fwu
