// SPDX-License-Identifier: Apache-2.0
#include "package/TransferZVDataAction.h"

#include "package/VirtualIDBuilder.h"

namespace fwu::kfw {

bool TransferZVDataAction::isValid(const KfwFile* file) const {
    return isValidTransfer(file, m_blobID);
}

Uuid TransferZVDataAction::virtualID(const KfwFile* file) const {
    VirtualIDBuilder builder;
    addTransferHead(builder, file, m_blobID);
    builder.add(m_address);
    return builder.id();
}

bool TransferZVDataAction::equal(const Action* other) const {
    const auto* same = dynamic_cast<const TransferZVDataAction*>(other);
    return Action::equal(other) && same && same->m_blobID == m_blobID &&
           same->m_address == m_address;
}

void TransferZVDataAction::setTransferData(const Uuid& blob, uint32_t address) {
    m_blobID = blob;
    m_address = address;
}

}  // namespace fwu::kfw
