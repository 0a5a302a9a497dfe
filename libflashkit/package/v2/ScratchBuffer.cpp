#include "package/v2/ScratchBuffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace fwu::kfw::v2 {

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
// Below this the buffer comes from the heap like any other.
constexpr size_t kMapSize = 4 * kHugePage;

}  // namespace

ScratchBuffer::ScratchBuffer(size_t size) {
    if (size < kMapSize) {
        m_data = new uint8_t[size];
        return;
    }
    void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) throw std::bad_alloc();
    m_data = static_cast<uint8_t*>(map);
    m_mapped = size;
    // Only advice: without transparent huge pages the buffer works the same, just slower.
    madvise(map, size, MADV_HUGEPAGE);
}

ScratchBuffer::~ScratchBuffer() {
    if (m_mapped)
        munmap(m_data, m_mapped);
    else
        delete[] m_data;
}

size_t ScratchBuffer::release(size_t from, size_t to) {
    if (!m_mapped) return from;
    const uintptr_t base = reinterpret_cast<uintptr_t>(m_data);
    const uintptr_t first = (base + from + kHugePage - 1) / kHugePage * kHugePage;
    const uintptr_t last = (base + to) / kHugePage * kHugePage;
    if (last <= first) return from;
    // Private anonymous pages given back read as zeros; nobody reads them again anyway.
    madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
    return last - base;
}

void AdviseHugePages(void* data, size_t size) {
    const uintptr_t base = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (base + kHugePage - 1) / kHugePage * kHugePage;
    const uintptr_t last = (base + size) / kHugePage * kHugePage;
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace fwu::kfw::v2
