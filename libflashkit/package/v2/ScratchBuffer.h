#pragma once
#include <cstddef>
#include <cstdint>

#include "core/Noncopyable.h"

namespace fwu::kfw::v2 {

// An uninitialised byte buffer for the reader's own short-lived payload copy. Large ones are
// mapped directly and asked for huge pages: the payload is written once from end to end, and
// faulting it in 4 KiB at a time costs as much as decrypting it.
class ScratchBuffer : private Noncopyable {
public:
    explicit ScratchBuffer(size_t size);
    ~ScratchBuffer();

    uint8_t* data() { return m_data; }
    // Gives the memory of the whole huge pages inside [from, to) back to the system while the
    // buffer lives on: their bytes are no longer needed. Returns where a following release can
    // start without leaving a page behind (`from` when nothing was given back). Does nothing
    // for a buffer from the heap.
    size_t release(size_t from, size_t to);

private:
    uint8_t* m_data = nullptr;
    size_t m_mapped = 0;
};

// Asks for huge pages behind a large buffer that is about to be written from end to end; only
// advice, and only for the whole huge pages inside it.
void AdviseHugePages(void* data, size_t size);

}  // namespace fwu::kfw::v2
