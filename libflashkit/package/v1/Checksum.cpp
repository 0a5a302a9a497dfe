// SPDX-License-Identifier: Apache-2.0
#include "package/v1/Checksum.h"

namespace fwu::kfw::v1 {

uint16_t CalculateChecksum(const uint8_t* data, size_t length, uint16_t start) {
    uint16_t sum = start;
    for (size_t i = 0; i < length; ++i) sum = static_cast<uint16_t>(sum - data[i]);
    return sum;
}

}  // namespace fwu::kfw::v1
