// SPDX-License-Identifier: Apache-2.0
#include "core/OutputByteStream.h"

#include <cstring>
#include <stdexcept>

#include "core/Exception.h"

namespace fwu {

OutputByteStream::OutputByteStream(Mode mode, size_t count) {
    if (mode == ModeReserve)
        m_bytes.reserve(count);
    else if (mode == ModeZeroed)
        m_bytes.assign(count, 0);
}

void OutputByteStream::seek(size_t position) {
    if (position > m_bytes.size()) throw Exception(PackageError::kBadPosition);
    m_position = position;
}

void OutputByteStream::skip(size_t count) {
    if (count > m_bytes.size() - m_position) throw Exception(PackageError::kBadPosition);
    seek(m_position + count);
}

void OutputByteStream::writeBytes(const void* source, size_t count) {
    if (count == 0) return;
    if (count > m_bytes.max_size() - m_position) throw std::length_error("OutputByteStream");
    if (m_position + count > m_bytes.size()) m_bytes.resize(m_position + count);
    std::memcpy(m_bytes.data() + m_position, source, count);
    m_position += count;
}

}  // namespace fwu
