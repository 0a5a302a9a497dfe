// SPDX-License-Identifier: Apache-2.0
#include "package/v2/KfwCipher.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>

#include "core/Exception.h"
#include "package/v2/KfwKeys.h"

namespace fwu::kfw::v2 {

namespace {

constexpr size_t kBlockSize = 16;

std::vector<uint8_t> MaskInitialVector(const FileVersion& version, const std::vector<uint8_t>& iv) {
    const std::vector<uint8_t>& mask = IVSource(version);
    if (iv.size() != mask.size()) throw Exception(PackageError::kInvalidIv);
    std::vector<uint8_t> out(iv.size());
    for (size_t i = 0; i < iv.size(); ++i) out[i] = iv[i] ^ mask[i];
    return out;
}

bool RunCipher(uint8_t* data, size_t size, const std::vector<uint8_t>& iv, bool encrypt) {
    if (size % kBlockSize != 0 || iv.size() != kBlockSize) return false;
    if (size == 0) return true;
    CbcCipher cipher(iv, encrypt);
    return cipher.update(data, data, size) && cipher.finish();
}

}  // namespace

void CbcCipher::ContextDeleter::operator()(EVP_CIPHER_CTX* context) const {
    EVP_CIPHER_CTX_free(context);
}

CbcCipher::CbcCipher(const std::vector<uint8_t>& iv, bool encrypt) {
    if (iv.size() != kBlockSize) return;
    m_context.reset(EVP_CIPHER_CTX_new());
    if (!m_context) return;
    const std::vector<uint8_t>& key = GetKey();
    if (EVP_CipherInit_ex(m_context.get(), EVP_aes_256_cbc(), nullptr, key.data(), iv.data(),
                          encrypt ? 1 : 0) != 1) {
        m_context.reset();
        return;
    }
    // The container is always a whole number of blocks; a padding scheme would add one.
    EVP_CIPHER_CTX_set_padding(m_context.get(), 0);
}

CbcCipher::~CbcCipher() = default;

// OpenSSL takes int lengths, so large images go through in block-aligned pieces; CBC chaining
// carries over between the updates of one context.
bool CbcCipher::update(const uint8_t* in, uint8_t* out, size_t size) {
    if (!m_context || size % kBlockSize != 0) return false;
    constexpr size_t kPiece = (size_t(INT_MAX) / kBlockSize) * kBlockSize;
    for (size_t done = 0; done < size;) {
        const size_t piece = size - done < kPiece ? size - done : kPiece;
        int written = 0;
        if (EVP_CipherUpdate(m_context.get(), out + done, &written, in + done,
                             static_cast<int>(piece)) != 1 ||
            static_cast<size_t>(written) != piece)
            return false;
        done += piece;
    }
    return true;
}

bool CbcCipher::finish() {
    if (!m_context) return false;
    int tail = 0;
    uint8_t scratch[kBlockSize];
    return EVP_CipherFinal_ex(m_context.get(), scratch, &tail) == 1 && tail == 0;
}

std::vector<uint8_t> EncodeInitialVector(const FileVersion& version,
                                         const std::vector<uint8_t>& iv) {
    return MaskInitialVector(version, iv);
}

std::vector<uint8_t> DecodeInitialVector(const FileVersion& version,
                                         const std::vector<uint8_t>& iv) {
    return MaskInitialVector(version, iv);
}

bool EncodeBytes(uint8_t* data, size_t size, const std::vector<uint8_t>& iv) {
    return RunCipher(data, size, iv, true);
}

bool DecodeBytes(uint8_t* data, size_t size, const std::vector<uint8_t>& iv) {
    return RunCipher(data, size, iv, false);
}

}  // namespace fwu::kfw::v2
