// SPDX-License-Identifier: Apache-2.0
#include "engine/ProgressGate.h"

namespace fwu::internal {

bool ProgressGate::report(const FWTransferProgress& progress) {
    if (!m_callback) return true;
    if (m_callback(progress, m_userData) == 0) m_cancel = true;
    return !m_cancel || m_erased;
}

}  // namespace fwu::internal
