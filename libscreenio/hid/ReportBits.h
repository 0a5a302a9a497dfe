// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

namespace screenio::hid {

// Fields inside a HID report: little-endian bit strings that may start and end anywhere in a
// byte (bit 0 is the lowest bit of byte 0). Every access is checked against the buffer, since
// offsets and sizes come from a device's descriptor.
class ReportBits {
public:
    static constexpr uint32_t kMaxBits = 64;

    // Reads `bits` (1 to 64) bits at bit `offset` of `size` bytes into the low bits of `*value`.
    // False, leaving `*value` alone, when the field does not lie inside the buffer.
    static bool read(const uint8_t* data, size_t size, uint32_t offset, uint32_t bits,
                     uint64_t* value);
    // Writes the low `bits` bits of `value`; every other bit of the buffer stays as it was.
    // False, changing nothing, when the field does not lie inside the buffer.
    static bool write(uint8_t* data, size_t size, uint32_t offset, uint32_t bits, uint64_t value);

    // The `bits`-bit two's complement number in the low bits of `raw` (1 to 64 bits).
    static int64_t signExtend(uint64_t raw, uint32_t bits);
    // Whether `value` has a `bits`-bit form: signed (two's complement) or unsigned.
    static bool fits(int64_t value, uint32_t bits, bool isSigned);

private:
    static bool inside(size_t size, uint32_t offset, uint32_t bits);
};

}  // namespace screenio::hid
