// SPDX-License-Identifier: Apache-2.0
#include "json/ContainerArena.h"

#include <atomic>
#include <cstdint>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define POCKETJSON_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define POCKETJSON_ASAN 1
#endif
#endif

#ifdef POCKETJSON_ASAN
#include <sanitizer/asan_interface.h>
#define POCKETJSON_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define POCKETJSON_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define POCKETJSON_POISON(address, size) ((void)(address), (void)(size))
#define POCKETJSON_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace pocketjson {

namespace {

constexpr size_t kBlockSize = 64 * 1024;
// Every piece starts with a header naming its block (null for a piece from the allocator),
// padded so that the container after it keeps the allocator's alignment.
constexpr size_t kHeaderSize = 16;
constexpr size_t kLargestCarved = 1024;

thread_local ContainerArena::Scope* s_innermost = nullptr;

size_t RoundUp(size_t size) { return (size + 15) & ~size_t{15}; }

}  // namespace

// The count holds one for every container carved from the block and still alive, and one for
// the scope while the block is the one it carves from.
struct ContainerArena::Scope::Block {
    std::atomic<size_t> holders{1};
};

ContainerArena::Scope::Scope() : m_outer(s_innermost) { s_innermost = this; }

ContainerArena::Scope::~Scope() {
    retire();
    s_innermost = m_outer;
}

void ContainerArena::Scope::retire() noexcept {
    if (!m_block) return;
    // The unused rest of the block was never handed out; what was is poisoned as it is freed.
    if (m_block->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        POCKETJSON_UNPOISON(m_block, kBlockSize);
        m_block->~Block();
        ::operator delete(m_block);
    }
    m_block = nullptr;
    m_next = m_end = nullptr;
}

void* ContainerArena::Scope::carve(size_t size) {
    static_assert(sizeof(Block) <= kHeaderSize, "the block header fits in a piece header");
    const size_t piece = kHeaderSize + RoundUp(size);
    if (static_cast<size_t>(m_end - m_next) < piece) {
        void* memory = ::operator new(kBlockSize);
        retire();
        m_block = new (memory) Block();
        m_next = static_cast<char*>(memory) + kHeaderSize;
        m_end = static_cast<char*>(memory) + kBlockSize;
    }
    char* header = m_next;
    m_next += piece;
    m_block->holders.fetch_add(1, std::memory_order_relaxed);
    *reinterpret_cast<Block**>(header) = m_block;
    return header + kHeaderSize;
}

void* ContainerArena::allocate(size_t size) {
    if (s_innermost && size <= kLargestCarved) return s_innermost->carve(size);
    char* header = static_cast<char*>(::operator new(kHeaderSize + size));
    *reinterpret_cast<Scope::Block**>(header) = nullptr;
    return header + kHeaderSize;
}

void ContainerArena::deallocate(void* memory, size_t size) noexcept {
    if (!memory) return;
    char* header = static_cast<char*>(memory) - kHeaderSize;
    Scope::Block* block = *reinterpret_cast<Scope::Block**>(header);
    if (!block) {
        ::operator delete(header);
        return;
    }
    POCKETJSON_POISON(header, kHeaderSize + RoundUp(size));
    if (block->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        POCKETJSON_UNPOISON(block, kBlockSize);
        block->~Block();
        ::operator delete(block);
    }
}

}  // namespace pocketjson
