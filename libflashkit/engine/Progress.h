// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "flashkit/flashkit.h"

namespace fwu::internal {

// Reports progress to the caller's callback, when there is one; false when it asks to stop.
inline bool ContinueTransfer(FWTransferProgressCallback callback,
                             const FWTransferProgress& progress, void* userData) {
    return !callback || callback(progress, userData) != 0;
}

}  // namespace fwu::internal
