// SPDX-License-Identifier: Apache-2.0
#include "core/InputByteStream.h"

#include <cstring>

#include "core/Exception.h"

namespace fwu {

void InputByteStream::seek(size_t position) {
    if (position > m_size) throw Exception(PackageError::kBadPosition);
    m_position = position;
}

void InputByteStream::skip(size_t count) {
    if (count > m_size - m_position) throw Exception(PackageError::kBadPosition);
    seek(m_position + count);
}

void InputByteStream::readBytes(void* destination, size_t count) {
    if (count > m_size - m_position) throw Exception(PackageError::kInvalidReadSize);
    if (count) std::memcpy(destination, m_data + m_position, count);
    m_position += count;
}

}  // namespace fwu
