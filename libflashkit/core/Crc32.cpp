// SPDX-License-Identifier: Apache-2.0
#include "core/Crc32.h"

#include <zlib.h>

namespace fwu {

void Crc32::update(const uint8_t* data, size_t length) {
    if (length == 0) return;
    // zlib complements the register on the way in and out; undo both to keep the raw register.
    m_register = ~static_cast<uint32_t>(crc32_z(~m_register & 0xFFFFFFFFu, data, length));
}

uint32_t Crc32::calculate(uint32_t initial, const std::vector<uint8_t>& data) {
    return calculate(initial, data.data(), data.size());
}

uint32_t Crc32::calculate(uint32_t initial, const uint8_t* data, size_t length) {
    Crc32 crc(initial);
    crc.update(data, length);
    return crc.finalize();
}

}  // namespace fwu
