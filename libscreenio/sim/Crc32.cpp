// SPDX-License-Identifier: Apache-2.0
#include "sim/Crc32.h"

#include <zlib.h>

namespace screenio::sim {

uint32_t Crc32::compute(uint32_t initial, const uint8_t* data, size_t length) {
    // zlib complements the register on the way in and out, so it starts from ~initial.
    return uint32_t(crc32_z(~initial & 0xFFFFFFFFu, data, length));
}

}  // namespace screenio::sim
