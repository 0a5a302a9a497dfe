// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace screenio::sim {

// Binary contents in the monitor's state file (standard alphabet, '=' padding).
class Base64 {
public:
    static std::string encode(const uint8_t* data, size_t length);
    static std::string encode(const std::vector<uint8_t>& data);
    // Throws std::runtime_error on a character outside the alphabet or a bad length.
    static std::vector<uint8_t> decode(const std::string& text);
};

}  // namespace screenio::sim
