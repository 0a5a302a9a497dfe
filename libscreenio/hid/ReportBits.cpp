// SPDX-License-Identifier: Apache-2.0
#include "hid/ReportBits.h"

namespace screenio::hid {

bool ReportBits::inside(size_t size, uint32_t offset, uint32_t bits) {
    if (bits == 0 || bits > kMaxBits) return false;
    return static_cast<uint64_t>(offset) + bits <= static_cast<uint64_t>(size) * 8;
}

bool ReportBits::read(const uint8_t* data, size_t size, uint32_t offset, uint32_t bits,
                      uint64_t* value) {
    if (!data || !value || !inside(size, offset, bits)) return false;
    uint64_t result = 0;
    uint32_t done = 0;
    while (done < bits) {
        const uint32_t at = offset + done;
        const uint32_t shift = at % 8;
        // As many bits as remain in this byte and in the field.
        const uint32_t take = (8 - shift) < (bits - done) ? (8 - shift) : (bits - done);
        const uint32_t part = (static_cast<uint32_t>(data[at / 8]) >> shift) & ((1u << take) - 1);
        result |= static_cast<uint64_t>(part) << done;
        done += take;
    }
    *value = result;
    return true;
}

bool ReportBits::write(uint8_t* data, size_t size, uint32_t offset, uint32_t bits, uint64_t value) {
    if (!data || !inside(size, offset, bits)) return false;
    uint32_t done = 0;
    while (done < bits) {
        const uint32_t at = offset + done;
        const uint32_t shift = at % 8;
        const uint32_t take = (8 - shift) < (bits - done) ? (8 - shift) : (bits - done);
        const uint32_t mask = ((1u << take) - 1) << shift;
        const auto part = static_cast<uint32_t>((value >> done) & ((1u << take) - 1)) << shift;
        data[at / 8] = static_cast<uint8_t>((data[at / 8] & ~mask) | part);
        done += take;
    }
    return true;
}

int64_t ReportBits::signExtend(uint64_t raw, uint32_t bits) {
    if (bits == 0 || bits >= 64) return static_cast<int64_t>(raw);
    const uint64_t mask = (uint64_t(1) << bits) - 1;
    raw &= mask;
    const uint64_t sign = uint64_t(1) << (bits - 1);
    // Converting a value above INT64_MAX is implementation-defined before C++20; the
    // subtraction keeps it in range.
    if ((raw & sign) == 0) return static_cast<int64_t>(raw);
    return -static_cast<int64_t>(mask - raw) - 1;
}

bool ReportBits::fits(int64_t value, uint32_t bits, bool isSigned) {
    if (bits == 0 || bits > 64) return false;
    if (bits == 64) return isSigned || value >= 0;
    if (isSigned) {
        const int64_t high = (int64_t(1) << (bits - 1)) - 1;
        return value >= -high - 1 && value <= high;
    }
    return value >= 0 && static_cast<uint64_t>(value) < (uint64_t(1) << bits);
}

}  // namespace screenio::hid
