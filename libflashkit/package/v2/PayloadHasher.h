// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "core/Noncopyable.h"
#include "core/Sha256.h"

namespace fwu::kfw::v2 {

// SHA-256 of a buffer that is still being filled (decrypted on load, packed on save), on a
// second thread so that hashing overlaps the filling. The filler publishes how far the bytes
// are final; the hasher reads only published bytes and the filler never changes them again.
// Before the buffer moves (a vector growing), the filler drains the hasher and publishes the
// new address. Without a thread everything published is hashed at once by the caller.
class PayloadHasher : private Noncopyable {
public:
    // Hashing starts at offset `from` of the buffer (the digest slot is left out).
    PayloadHasher(size_t from, bool concurrent);
    // Stops the thread after the piece it is on; the buffer must outlive the hasher.
    ~PayloadHasher();

    // Bytes [from, end) of `base` are final. `base` changes only right after drain().
    void publish(const uint8_t* base, size_t end);
    // Waits until the bytes before `end` are hashed (everything published, if that is less);
    // the hasher does not look at them again.
    void waitUntilHashed(size_t end);
    // Waits until every published byte is hashed.
    void drain();
    // The digest of everything published; nothing may be published afterwards.
    Sha256 finish();

private:
    void run();
    void hashPublished(std::unique_lock<std::mutex>& lock);

    Sha256::Builder m_builder;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const uint8_t* m_base = nullptr;
    size_t m_hashed;
    size_t m_published;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace fwu::kfw::v2
