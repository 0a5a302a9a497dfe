// SPDX-License-Identifier: Apache-2.0
#include "core/Sha256.h"

#include <openssl/evp.h>

#include <cstring>
#include <new>

namespace fwu {

Sha256::Builder::Builder() : m_context(EVP_MD_CTX_new()) {
    if (!m_context || EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(m_context);
        throw std::bad_alloc();
    }
}

Sha256::Builder::~Builder() { EVP_MD_CTX_free(m_context); }

void Sha256::Builder::calculate(const void* data, size_t length) {
    if (length) EVP_DigestUpdate(m_context, data, length);
}

Sha256 Sha256::Builder::get() const {
    // Finish a copy so the builder stays usable and get() can be asked more than once.
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> copy(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!copy || EVP_MD_CTX_copy_ex(copy.get(), m_context) != 1) throw std::bad_alloc();
    Sha256 digest;
    unsigned int length = 0;
    EVP_DigestFinal_ex(copy.get(), digest.m_bytes.data(), &length);
    return digest;
}

Sha256 Sha256::calculate(const uint8_t* data, size_t length) {
    Sha256 digest;
    unsigned int written = 0;
    static const uint8_t nothing = 0;
    if (EVP_Digest(length ? data : &nothing, length, digest.m_bytes.data(), &written, EVP_sha256(),
                   nullptr) != 1)
        throw std::bad_alloc();
    return digest;
}

Sha256 Sha256::fromBytes(const uint8_t* bytes) {
    Sha256 digest;
    std::memcpy(digest.m_bytes.data(), bytes, digest.m_bytes.size());
    return digest;
}

std::string Sha256::toString() const {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(64);
    for (uint8_t b : m_bytes) {
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text;
}

}  // namespace fwu
