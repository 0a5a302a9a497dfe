// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fwu {

// The reflected CRC-32 (polynomial 0xEDB88320) over a register whose start value the caller
// chooses; finalize() gives the complement. From 0xFFFFFFFF it equals the common CRC-32.
class Crc32 {
public:
    explicit Crc32(uint32_t initial) : m_register(initial) {}

    void update(const std::vector<uint8_t>& data) { update(data.data(), data.size()); }
    void update(const uint8_t* data, size_t length);
    // The register is left as it is, so updating may go on afterwards.
    uint32_t finalize() const { return ~m_register; }
    void reset(uint32_t initial) { m_register = initial; }

    static uint32_t calculate(uint32_t initial, const std::vector<uint8_t>& data);
    static uint32_t calculate(uint32_t initial, const uint8_t* data, size_t length);

private:
    uint32_t m_register;
};

}  // namespace fwu
