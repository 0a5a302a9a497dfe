// SPDX-License-Identifier: Apache-2.0
#include "package/v2/PayloadMemory.h"

#include <sys/mman.h>

#include <mutex>
#include <new>

namespace fwu::kfw::v2 {

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
// Below this the memory comes from the heap like any other.
constexpr size_t kMapSize = 4 * kHugePage;

}  // namespace

namespace {

struct Mapping {
    uint8_t* data = nullptr;
    size_t size = 0;
};

// The last large payload mapping released, kept for the next load: loading the same kind of
// package again then writes into pages that are already there instead of pages the kernel
// must first fault in and clear. Its pages are marked free, so the kernel takes them back
// when memory runs short (and hands out cleared ones again in that case).
class SpareMapping {
public:
    Mapping take(size_t size) {
        std::lock_guard<std::mutex> lock(m_mutex);
        Mapping taken;
        // A much larger spare would keep memory the new payload does not need.
        if (m_spare.data && m_spare.size >= size && m_spare.size / 2 <= size)
            std::swap(taken, m_spare);
        return taken;
    }

    void keep(Mapping mapping) {
        madvise(mapping.data, mapping.size, MADV_FREE);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            std::swap(mapping, m_spare);
        }
        if (mapping.data) munmap(mapping.data, mapping.size);
    }

private:
    std::mutex m_mutex;
    Mapping m_spare;
};

// Never destroyed: payloads may be released while the program exits.
SpareMapping& Spare() {
    static SpareMapping* const instance = new SpareMapping;
    return *instance;
}

Mapping Map(size_t size) {
    Mapping mapping = Spare().take(size);
    if (mapping.data) return mapping;
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) throw std::bad_alloc();
    // Only advice: without transparent huge pages the memory works the same, just slower.
    madvise(data, size, MADV_HUGEPAGE);
    return {static_cast<uint8_t*>(data), size};
}

}  // namespace

std::shared_ptr<uint8_t> AllocatePayloadMemory(size_t size) {
    if (size < kMapSize)
        return std::shared_ptr<uint8_t>(new uint8_t[size ? size : 1],
                                        std::default_delete<uint8_t[]>());
    const Mapping mapping = Map(size);
    try {
        return std::shared_ptr<uint8_t>(mapping.data,
                                        [mapping](uint8_t*) { Spare().keep(mapping); });
    } catch (...) {
        munmap(mapping.data, mapping.size);
        throw;
    }
}

void AdviseHugePages(void* data, size_t size) {
    const uintptr_t base = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (base + kHugePage - 1) / kHugePage * kHugePage;
    const uintptr_t last = (base + size) / kHugePage * kHugePage;
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace fwu::kfw::v2
