// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace screenio::sim {

// The firmware image convention of the simulated monitors: what their boot loaders look for.
//
// Short form (8 bytes, kept so older images still install): "SIMV", version (32 bits,
// little-endian), then anything. Only the magic can be checked.
//
// Checked form (20-byte header): "SIMV", version, "SIMC", length (32 bits: the whole image,
// header included, at least 20), CRC-32 (32 bits) of bytes 20 to length - 1. The CRC is the
// common one (reflected polynomial 0xEDB88320, initial value 0xFFFFFFFF, result complemented;
// "123456789" gives 0xCBF43926). Bytes after `length` are not part of the image.
class SimImage {
public:
    static constexpr size_t kShortHeader = 8;
    static constexpr size_t kCheckedHeader = 20;

    enum class Form { None, Short, Checked };

    struct Check {
        Form form = Form::None;
        bool valid = false;    // a boot loader accepts it
        uint32_t version = 0;  // when it carries a header
        uint32_t length = 0;   // Checked: the stated length
    };

    // Reads `available` bytes through `read(offset, out, length)`, so a flash need not be copied
    // whole. An image of the checked form fails when its length is below the header, runs past
    // `available`, or its CRC differs.
    using Reader = std::function<void(uint32_t offset, uint8_t* out, size_t length)>;
    static Check inspect(const Reader& read, uint32_t available);
    static Check inspect(const uint8_t* bytes, size_t length);

    // An image of the checked form carrying `version` and `payload`.
    static std::vector<uint8_t> make(uint32_t version, const std::vector<uint8_t>& payload);
};

}  // namespace screenio::sim
