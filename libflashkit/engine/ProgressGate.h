// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "flashkit/flashkit.h"

namespace fwu::internal {

// Passes progress to the caller's callback and decides when a cancel takes effect. Once flash
// of the current image has been erased, stopping would leave it half-written, so a cancel is
// then held until the image is complete and verified; elsewhere it takes effect at once.
class ProgressGate {
public:
    ProgressGate(FWTransferProgressCallback callback, void* userData)
        : m_callback(callback), m_userData(userData) {}

    // The current image's flash is about to be erased.
    void erasing() { m_erased = true; }
    bool erased() const { return m_erased; }
    // A new image starts: nothing of it is erased yet.
    void nextImage() { m_erased = false; }

    // Reports progress; false when the writer must stop now.
    bool report(const FWTransferProgress& progress);
    // The caller asked to cancel (whether or not it took effect yet).
    bool cancelRequested() const { return m_cancel; }

private:
    FWTransferProgressCallback m_callback;
    void* m_userData;
    bool m_erased = false;
    bool m_cancel = false;
};

}  // namespace fwu::internal
