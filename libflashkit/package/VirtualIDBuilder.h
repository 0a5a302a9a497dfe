// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/Sha256.h"
#include "core/Uuid.h"

namespace fwu::kfw {

// Content-derived identifier: the first 16 bytes of a SHA-256 over the fields fed in order.
// Two packages with the same content agree on it, whatever their random IDs.
class VirtualIDBuilder : private Noncopyable {
public:
    void add(uint32_t number);  // as 4 little-endian bytes
    void add(const std::string& text) { m_digest.calculate(text.data(), text.size()); }
    void add(const Uuid& id) { m_digest.calculate(id.data(), id.size()); }
    void add(const uint8_t* bytes, size_t length) { m_digest.calculate(bytes, length); }

    Uuid id() const { return Uuid::fromBytes(m_digest.get().data()); }

private:
    Sha256::Builder m_digest;
};

}  // namespace fwu::kfw
