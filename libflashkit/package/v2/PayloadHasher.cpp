// SPDX-License-Identifier: Apache-2.0
#include "package/v2/PayloadHasher.h"

#include <cstdint>

namespace fwu::kfw::v2 {

PayloadHasher::PayloadHasher(size_t from, bool concurrent) : m_hashed(from), m_published(from) {
    if (concurrent) m_thread = std::thread(&PayloadHasher::run, this);
}

PayloadHasher::~PayloadHasher() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void PayloadHasher::publish(const uint8_t* base, size_t end) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_base = base;
    if (end > m_published) m_published = end;
    if (m_thread.joinable()) {
        lock.unlock();
        m_changed.notify_all();
    } else {
        hashPublished(lock);
    }
}

namespace {

// How much is hashed between two reports of progress: those waiting for some bytes to be
// hashed do not wait for everything published.
constexpr size_t kStep = size_t(1) << 20;

}  // namespace

// Hashes from m_hashed to m_published without holding the lock while hashing.
void PayloadHasher::hashPublished(std::unique_lock<std::mutex>& lock) {
    while (!m_stop && m_hashed < m_published) {
        const uint8_t* base = m_base;
        const size_t from = m_hashed;
        const size_t to = m_published - from > kStep ? from + kStep : m_published;
        lock.unlock();
        m_builder.calculate(base + from, to - from);
        lock.lock();
        m_hashed = to;
        m_changed.notify_all();
    }
}

void PayloadHasher::run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_hashed < m_published; });
        if (m_stop) return;
        hashPublished(lock);
    }
}

void PayloadHasher::waitUntilHashed(size_t end) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_thread.joinable())
        m_changed.wait(lock, [this, end] { return m_hashed >= end || m_hashed == m_published; });
    else
        hashPublished(lock);
}

void PayloadHasher::drain() { waitUntilHashed(SIZE_MAX); }

Sha256 PayloadHasher::finish() {
    drain();
    return m_builder.get();
}

}  // namespace fwu::kfw::v2
