// SPDX-License-Identifier: Apache-2.0
#include "package/TransferDataAction.h"

#include "package/VirtualIDBuilder.h"

namespace fwu::kfw {

bool TransferDataAction::isValid(const KfwFile* file) const {
    return isValidTransfer(file, m_blobID);
}

Uuid TransferDataAction::virtualID(const KfwFile* file) const {
    VirtualIDBuilder builder;
    addTransferHead(builder, file, m_blobID);
    builder.add(m_fileName);
    return builder.id();
}

bool TransferDataAction::equal(const Action* other) const {
    const auto* same = dynamic_cast<const TransferDataAction*>(other);
    return Action::equal(other) && same && same->m_blobID == m_blobID &&
           same->m_fileName == m_fileName;
}

void TransferDataAction::setTransferData(const Uuid& blob, const std::string& fileName) {
    m_blobID = blob;
    m_fileName = fileName;
}

}  // namespace fwu::kfw
