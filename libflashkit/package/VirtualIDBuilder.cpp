// SPDX-License-Identifier: Apache-2.0
#include "package/VirtualIDBuilder.h"

namespace fwu::kfw {

void VirtualIDBuilder::add(uint32_t number) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                              static_cast<uint8_t>(number >> 16),
                              static_cast<uint8_t>(number >> 24)};
    m_digest.calculate(bytes, sizeof bytes);
}

}  // namespace fwu::kfw
