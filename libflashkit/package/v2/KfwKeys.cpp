// SPDX-License-Identifier: Apache-2.0
#include "package/v2/KfwKeys.h"

#include "core/Exception.h"

namespace fwu::kfw::v2 {

namespace {

// Fills `count` bytes from a small multiply-xorshift generator. Each table has its own seed,
// so the values come from a handful of immediates instead of a literal byte array.
std::vector<uint8_t> Derive(uint32_t seed, uint32_t step, size_t count) {
    std::vector<uint8_t> bytes(count);
    uint32_t state = seed;
    for (size_t i = 0; i < count; ++i) {
        state = state * 0x2C9277B5u + step;
        state ^= state >> 15;
        bytes[i] = static_cast<uint8_t>((state >> 11) ^ (state >> 24));
    }
    return bytes;
}

}  // namespace

const std::vector<uint8_t>& MagicNumber() {
    static const std::vector<uint8_t> magic = [] {
        const char text[] = "KORUkfw2";
        std::vector<uint8_t> bytes(text, text + 8);
        for (uint8_t b : {0x20, 0x2F, 0x2D, 0x7D}) bytes.push_back(b);
        return bytes;
    }();
    return magic;
}

const std::vector<uint8_t>& GetKey() {
    static const std::vector<uint8_t> key = Derive(0x5EC7A1B3u, 0x3D1u, 32);
    return key;
}

const std::vector<uint8_t>& IVSource(const FileVersion& version) {
    static const std::vector<uint8_t> masks[3] = {
        Derive(0x9B04E2C1u, 0x1F5u, 16),
        Derive(0x47D3A96Eu, 0x2B9u, 16),
        Derive(0xC2185F0Du, 0x0E3u, 16),
    };
    if (version.major.value() != 2 || version.minor.value() >= 3)
        throw Exception(PackageError::kUnsupportedFileVersion);
    return masks[version.minor.value()];
}

}  // namespace fwu::kfw::v2
