// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "core/InputStream.h"

namespace fwu {

// Reads from the caller's buffer, which must outlive the stream; nothing is copied.
class InputByteStream : public InputStream {
public:
    InputByteStream(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t position() const override { return m_position; }
    size_t byteSize() const override { return m_size; }
    void seek(size_t position) override;
    void skip(size_t count) override;
    void readBytes(void* destination, size_t count) override;
    using InputStream::readBytes;
    // The caller's buffer, for readers that can work on the bytes where they lie.
    const uint8_t* data() const { return m_data; }

private:
    size_t m_position = 0;
    const uint8_t* m_data;
    size_t m_size;
};

}  // namespace fwu
