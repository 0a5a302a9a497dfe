#include "package/Blob.h"

#include <cstring>

#include "package/VirtualIDBuilder.h"

namespace fwu::kfw {

// The hash describes the bytes from the start, also while there are none.
Blob::Blob() : m_hash(Sha256::calculate(nullptr, 0)) {}

std::string Blob::name() const {
    return m_name.empty() ? m_hash.toString().substr(0, 7) : m_name;
}

void Blob::setBytes(const uint8_t* bytes, size_t length) {
    m_bytes.assign(bytes, bytes + length);
    m_hash = Sha256::calculate(m_bytes.data(), m_bytes.size());
}

void Blob::setBytes(std::vector<uint8_t>&& bytes) {
    m_bytes = std::move(bytes);
    m_hash = Sha256::calculate(m_bytes.data(), m_bytes.size());
}

bool Blob::equal(const Blob* other) const {
    return other && other->size() == size() && other->m_hash == m_hash &&
           (m_bytes.empty() || std::memcmp(other->bytes(), bytes(), size()) == 0);
}

Uuid Blob::virtualID(const KfwFile*) const {
    VirtualIDBuilder builder;
    builder.add(m_name);
    builder.add(m_bytes.data(), m_bytes.size());
    return builder.id();
}

}  // namespace fwu::kfw
