// SPDX-License-Identifier: Apache-2.0
#include "core/FileVersion.h"

namespace fwu::kfw {

uint32_t FileVersion::toVersionEnum() const {
    if (major.value() == 1) return 0;
    if (major.value() == 2) return minor.value() + 1;
    return 0xFFFF;
}

}  // namespace fwu::kfw
