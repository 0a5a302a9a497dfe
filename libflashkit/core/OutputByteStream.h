// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "core/OutputStream.h"

namespace fwu {

// Writes into an owned, growing buffer. Writing after a seek backwards overwrites; writing at
// the end appends.
class OutputByteStream : public OutputStream {
public:
    enum Mode : uint32_t {
        ModeReserve = 1,  // reserve capacity for n bytes; the size stays 0
        ModeZeroed = 2,   // start with n zero bytes that later writes overwrite
    };

    OutputByteStream() = default;
    OutputByteStream(Mode mode, size_t count);

    size_t position() const override { return m_position; }
    size_t byteSize() const override { return m_bytes.size(); }
    void seek(size_t position) override;
    void skip(size_t count) override;
    void writeBytes(const void* source, size_t count) override;

    std::vector<uint8_t>& bytes() { return m_bytes; }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }

private:
    size_t m_position = 0;
    std::vector<uint8_t> m_bytes;
};

}  // namespace fwu
