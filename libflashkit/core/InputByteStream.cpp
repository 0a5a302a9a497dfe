// SPDX-License-Identifier: Apache-2.0
#include "core/InputByteStream.h"

#include <cstring>

#include "core/Exception.h"

namespace fwu {

void InputByteStream::seek(size_t position) {
    if (position > m_size) throw Exception("Bad position", ErrorStreamPosition);
    m_position = position;
}

void InputByteStream::skip(size_t count) {
    if (count > m_size - m_position) throw Exception("Bad position", ErrorStreamPosition);
    seek(m_position + count);
}

void InputByteStream::readBytes(void* destination, size_t count) {
    if (count > m_size - m_position) throw Exception("Invalid read size", ErrorStreamReadSize);
    if (count) std::memcpy(destination, m_data + m_position, count);
    m_position += count;
}

}  // namespace fwu
