// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>

#include "core/Noncopyable.h"

namespace fwu {

// Sink of bytes for the package writers. Every failure is an fwu::Exception; a failed write
// leaves the position where it was.
class OutputStream : private Noncopyable {
public:
    virtual ~OutputStream() = default;
    virtual size_t position() const = 0;
    virtual size_t byteSize() const = 0;
    virtual void seek(size_t position) = 0;
    virtual void skip(size_t count) = 0;
    virtual void writeBytes(const void* source, size_t count) = 0;
};

}  // namespace fwu
