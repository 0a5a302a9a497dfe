// SPDX-License-Identifier: Apache-2.0
#include "package/KfwObject.h"

namespace fwu::kfw {

bool KfwObject::isValid(const KfwFile*) const { return !m_id.empty(); }

Uuid KfwObject::virtualID(const KfwFile*) const { return Uuid(); }

}  // namespace fwu::kfw
