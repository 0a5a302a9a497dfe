// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>

namespace pocketjson {

// Memory for the containers of values (strings, objects, arrays) in blocks of 64 KiB.
//
// While a Scope is alive on a thread, the containers made on that thread are carved out of
// the scope's blocks one after the other, which costs a pointer bump instead of a trip
// through the allocator; the parser opens one for each document. A block goes back to the
// allocator when the last container carved from it is freed, from whichever thread, and the
// scope that filled it has moved on or ended; so one surviving container keeps its whole
// block. Outside a scope, containers come from the ordinary allocator.
class ContainerArena {
public:
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        friend class ContainerArena;
        struct Block;
        void* carve(size_t size);
        void retire() noexcept;

        Scope* m_outer;
        Block* m_block = nullptr;
        char* m_next = nullptr;
        char* m_end = nullptr;
    };

    // Memory for a container of `size` bytes; from the innermost scope of this thread if any.
    static void* allocate(size_t size);
    // Gives back memory from allocate().
    static void deallocate(void* memory, size_t size) noexcept;
};

}  // namespace pocketjson
