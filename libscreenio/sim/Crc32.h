// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

namespace screenio::sim {

// The file CRC the monitor computes: reflected CRC-32, polynomial 0xEDB88320. The register
// starts at the host's initial value and the result is its ones' complement, so the host's
// usual CRC routine fed with ~initial gives the same value.
class Crc32 {
public:
    static uint32_t compute(uint32_t initial, const uint8_t* data, size_t length);
};

}  // namespace screenio::sim
