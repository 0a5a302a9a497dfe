// SPDX-License-Identifier: Apache-2.0
#include "package/v1/Blowfish.h"

#include <stdexcept>

// The legacy format needs plain Blowfish. OpenSSL 3 keeps the low-level functions (marked
// deprecated) in the default build, whereas the EVP cipher would need the legacy provider.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

namespace fwu::kfw::v1 {

namespace {

constexpr size_t kBlockSize = 8;

BF_LONG LoadHalf(const uint8_t* p) {
    return static_cast<BF_LONG>(p[0]) | static_cast<BF_LONG>(p[1]) << 8 |
           static_cast<BF_LONG>(p[2]) << 16 | static_cast<BF_LONG>(p[3]) << 24;
}

void StoreHalf(uint8_t* p, BF_LONG value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

template <typename Transform> void EachBlock(uint8_t* data, size_t length, Transform transform) {
    if (length % kBlockSize != 0) throw std::invalid_argument("Blowfish data is not whole blocks");
    for (size_t at = 0; at < length; at += kBlockSize) {
        BF_LONG halves[2] = {LoadHalf(data + at), LoadHalf(data + at + 4)};
        transform(halves);
        StoreHalf(data + at, halves[0]);
        StoreHalf(data + at + 4, halves[1]);
    }
}

void PadToBlocks(std::vector<uint8_t>& bytes) {
    const size_t rest = bytes.size() % kBlockSize;
    if (rest != 0) bytes.resize(bytes.size() + kBlockSize - rest, 0);
}

}  // namespace

BlowfishCipher::BlowfishCipher(const uint8_t* key, size_t keyLength) : m_key(new BF_KEY) {
    // The key schedule uses at most 72 bytes; longer keys are not a Blowfish key.
    if (keyLength == 0 || keyLength > 72) throw std::invalid_argument("Blowfish key length");
    BF_set_key(m_key.get(), static_cast<int>(keyLength), key);
}

BlowfishCipher::~BlowfishCipher() = default;

void BlowfishCipher::encipher(uint8_t* data, size_t length) const {
    EachBlock(data, length, [this](BF_LONG* halves) { BF_encrypt(halves, m_key.get()); });
}

void BlowfishCipher::decipher(uint8_t* data, size_t length) const {
    EachBlock(data, length, [this](BF_LONG* halves) { BF_decrypt(halves, m_key.get()); });
}

const BlowfishCipher& BlowfishCipher::legacyKey() {
    static const BlowfishCipher cipher(reinterpret_cast<const uint8_t*>(BlowfishKey),
                                       sizeof BlowfishKey);
    return cipher;
}

void EncodeBytes(std::vector<uint8_t>& bytes) {
    PadToBlocks(bytes);
    BlowfishCipher::legacyKey().encipher(bytes.data(), bytes.size());
}

void DecodeBytes(std::vector<uint8_t>& bytes) {
    PadToBlocks(bytes);
    BlowfishCipher::legacyKey().decipher(bytes.data(), bytes.size());
}

}  // namespace fwu::kfw::v1
