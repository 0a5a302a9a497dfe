// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/FileVersion.h"
#include "core/Noncopyable.h"

typedef struct evp_cipher_ctx_st EVP_CIPHER_CTX;

namespace fwu::kfw::v2 {

// The IV XOR the mask of the version; "Invalid iv" unless the IV has the mask's 16 bytes.
// Masking is its own inverse, so the decoder is the same operation.
std::vector<uint8_t> EncodeInitialVector(const FileVersion& version,
                                         const std::vector<uint8_t>& iv);
std::vector<uint8_t> DecodeInitialVector(const FileVersion& version,
                                         const std::vector<uint8_t>& iv);

// AES-256-CBC with the format key, in place and without a padding scheme (the container pads
// itself). False, with the data unchanged, when the size is not a multiple of 16 or the IV is
// not 16 bytes.
bool EncodeBytes(uint8_t* data, size_t size, const std::vector<uint8_t>& iv);
bool DecodeBytes(uint8_t* data, size_t size, const std::vector<uint8_t>& iv);

// The same cipher over a payload fed in whole-block pieces, so that work on one piece can
// overlap with another; chaining carries over between pieces. `in` and `out` are the same
// buffer or do not overlap at all. A call is false on a failure (a wrong IV size, a piece that
// is not whole blocks, an OpenSSL error), after which the output is not to be used.
class CbcCipher : private Noncopyable {
public:
    CbcCipher(const std::vector<uint8_t>& iv, bool encrypt);
    ~CbcCipher();

    bool update(const uint8_t* in, uint8_t* out, size_t size);
    bool finish();

private:
    struct ContextDeleter {
        void operator()(EVP_CIPHER_CTX* context) const;
    };
    std::unique_ptr<EVP_CIPHER_CTX, ContextDeleter> m_context;
};

}  // namespace fwu::kfw::v2
