// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct bf_key_st;

namespace fwu::kfw::v1 {

// The key of legacy package images: these 36 characters and the terminating zero, 37 bytes.
constexpr char BlowfishKey[] = "3C9E07A2-6B1D-4F58-9E2A-71D04B6C95F3";
static_assert(sizeof BlowfishKey == 37, "the terminating zero is part of the key");

// Blowfish in ECB mode over 8-byte blocks whose two 32-bit halves are stored little-endian
// (bytes 0-3 the left half, 4-7 the right half), as the legacy files store them.
class BlowfishCipher {
public:
    BlowfishCipher(const uint8_t* key, size_t keyLength);
    ~BlowfishCipher();
    BlowfishCipher(const BlowfishCipher&) = delete;
    BlowfishCipher& operator=(const BlowfishCipher&) = delete;

    // `length` must be a multiple of 8; the blocks are transformed in place.
    void encipher(uint8_t* data, size_t length) const;
    void decipher(uint8_t* data, size_t length) const;

    // The cipher keyed with BlowfishKey, built once.
    static const BlowfishCipher& legacyKey();

private:
    std::unique_ptr<bf_key_st> m_key;
};

// Pad with zero bytes to a multiple of 8, then encipher (decipher) every block in place with
// BlowfishKey.
void EncodeBytes(std::vector<uint8_t>& bytes);
void DecodeBytes(std::vector<uint8_t>& bytes);

}  // namespace fwu::kfw::v1
