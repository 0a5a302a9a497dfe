// SPDX-License-Identifier: Apache-2.0
#include "package/TransferMStarDataAction.h"

#include "package/VirtualIDBuilder.h"

namespace fwu::kfw {

bool TransferMStarDataAction::isValid(const KfwFile* file) const {
    return isValidTransfer(file, m_blobID);
}

Uuid TransferMStarDataAction::virtualID(const KfwFile* file) const {
    VirtualIDBuilder builder;
    addTransferHead(builder, file, m_blobID);
    builder.add(m_address);
    builder.add(m_updateFlagAddress);
    return builder.id();
}

bool TransferMStarDataAction::equal(const Action* other) const {
    const auto* same = dynamic_cast<const TransferMStarDataAction*>(other);
    return Action::equal(other) && same && same->m_blobID == m_blobID &&
           same->m_address == m_address && same->m_updateFlagAddress == m_updateFlagAddress;
}

void TransferMStarDataAction::setTransferData(const Uuid& blob, uint32_t address,
                                              uint32_t updateFlagAddress) {
    m_blobID = blob;
    m_address = address;
    m_updateFlagAddress = updateFlagAddress;
}

}  // namespace fwu::kfw
