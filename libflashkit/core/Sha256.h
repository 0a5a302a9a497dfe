// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Noncopyable.h"

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace fwu {

// A SHA-256 digest: 32 bytes, all zero when default-constructed.
class Sha256 {
public:
    // Incremental computation over pieces fed one after another.
    class Builder : private Noncopyable {
    public:
        Builder();
        ~Builder();

        void calculate(const void* data, size_t length);
        // The digest of everything fed so far. Feeding may go on afterwards.
        Sha256 get() const;

    private:
        EVP_MD_CTX* m_context;
    };

    Sha256() : m_bytes{} {}

    static Sha256 calculate(const uint8_t* data, size_t length);
    static Sha256 fromBytes(const uint8_t* bytes);

    // 64 lowercase hexadecimal digits.
    std::string toString() const;
    std::vector<uint8_t> bytes() const { return {m_bytes.begin(), m_bytes.end()}; }
    const uint8_t* data() const { return m_bytes.data(); }
    size_t size() const { return m_bytes.size(); }

    bool operator==(const Sha256& o) const { return m_bytes == o.m_bytes; }
    bool operator!=(const Sha256& o) const { return m_bytes != o.m_bytes; }

private:
    std::array<uint8_t, 32> m_bytes;
};

}  // namespace fwu
