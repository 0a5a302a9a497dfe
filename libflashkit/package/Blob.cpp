// SPDX-License-Identifier: Apache-2.0
#include "package/Blob.h"

#include <cstring>

#include "package/VirtualIDBuilder.h"

namespace fwu::kfw {

Blob::Blob() = default;

const Sha256& Blob::hash() const {
    if (!m_hashKnown.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> lock(m_hashMutex);
        if (!m_hashKnown.load(std::memory_order_relaxed)) {
            m_hash = Sha256::calculate(m_data, m_size);
            m_hashKnown.store(true, std::memory_order_release);
        }
    }
    return m_hash;
}

std::string Blob::name() const { return m_name.empty() ? hash().toString().substr(0, 7) : m_name; }

void Blob::setBytes(const uint8_t* bytes, size_t length) {
    setBytes(std::vector<uint8_t>(bytes, bytes + length));
}

// Images given by the caller are hashed at once, as they come: they are usually about to be
// named by their digest or saved.
void Blob::setBytes(std::vector<uint8_t>&& bytes) {
    auto held = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
    const uint8_t* data = held->data();
    const size_t size = held->size();
    const Sha256 digest = Sha256::calculate(data, size);
    setSharedBytes(std::shared_ptr<const uint8_t>(held, data), data, size);
    std::lock_guard<std::mutex> lock(m_hashMutex);
    m_hash = digest;
    m_hashKnown.store(true, std::memory_order_release);
}

void Blob::setSharedBytes(std::shared_ptr<const uint8_t> owner, const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(m_hashMutex);
    m_owner = std::move(owner);
    m_data = data;
    m_size = size;
    m_hashKnown.store(false, std::memory_order_release);
}

// Equal bytes have equal digests, so the bytes alone decide; digests already known reject
// most unequal images without reading them.
bool Blob::equal(const Blob* other) const {
    if (!other || other->size() != size()) return false;
    if (m_hashKnown.load(std::memory_order_acquire) &&
        other->m_hashKnown.load(std::memory_order_acquire) && other->m_hash != m_hash)
        return false;
    return m_size == 0 || std::memcmp(other->bytes(), bytes(), size()) == 0;
}

Uuid Blob::virtualID(const KfwFile*) const {
    VirtualIDBuilder builder;
    builder.add(m_name);
    builder.add(m_data, m_size);
    return builder.id();
}

}  // namespace fwu::kfw
