#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/FileVersion.h"

namespace fwu::kfw::v2 {

// The IV XOR the mask of the version; "Invalid iv" unless the IV has the mask's 16 bytes.
// Masking is its own inverse, so the decoder is the same operation.
std::vector<uint8_t> EncodeInitialVector(const FileVersion& version, const std::vector<uint8_t>& iv);
std::vector<uint8_t> DecodeInitialVector(const FileVersion& version, const std::vector<uint8_t>& iv);

// AES-256-CBC with the format key, in place and without a padding scheme (the container pads
// itself). False, with the data unchanged, when the size is not a multiple of 16 or the IV is
// not 16 bytes.
bool EncodeBytes(uint8_t* data, size_t size, const std::vector<uint8_t>& iv);
bool DecodeBytes(uint8_t* data, size_t size, const std::vector<uint8_t>& iv);

}  // namespace fwu::kfw::v2
