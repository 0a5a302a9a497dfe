// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

namespace fwu::kfw::v1 {

// The legacy file checksum: `start` minus every byte, modulo 65536. Passing the previous result
// as `start` continues the sum over a following piece of data.
uint16_t CalculateChecksum(const uint8_t* data, size_t length, uint16_t start);

}  // namespace fwu::kfw::v1
