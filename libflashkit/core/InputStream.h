// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Noncopyable.h"

namespace fwu {

// Source of bytes for the package readers. Every failure is an fwu::Exception; a failed read
// leaves the position where it was.
class InputStream : private Noncopyable {
public:
    virtual ~InputStream() = default;
    virtual size_t position() const = 0;
    virtual size_t byteSize() const = 0;
    virtual void seek(size_t position) = 0;
    virtual void skip(size_t count) = 0;
    virtual void readBytes(void* destination, size_t count) = 0;

    std::vector<uint8_t> readBytes(size_t count);
    // Little-endian; instantiated for uint16_t and uint32_t.
    template <typename T> T read();
    // Reads exactly `count` bytes and returns the characters before the first zero byte.
    std::string readString(size_t count);
};

extern template uint16_t InputStream::read<uint16_t>();
extern template uint32_t InputStream::read<uint32_t>();

}  // namespace fwu
