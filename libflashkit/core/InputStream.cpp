// SPDX-License-Identifier: Apache-2.0
#include "core/InputStream.h"

#include <cstring>

namespace fwu {

std::vector<uint8_t> InputStream::readBytes(size_t count) {
    const size_t size = byteSize(), at = position();
    if (at <= size && count <= size - at) {
        std::vector<uint8_t> bytes(count);
        readBytes(bytes.data(), count);
        return bytes;
    }
    // More than the stream holds, usually a size read from a damaged file: read in bounded
    // pieces so it cannot allocate far beyond the data, and let the stream's own read report
    // the shortfall. The position goes back to where it was.
    constexpr size_t kPiece = size_t(1) << 20;
    std::vector<uint8_t> bytes;
    try {
        while (bytes.size() < count) {
            const size_t done = bytes.size();
            const size_t piece = count - done < kPiece ? count - done : kPiece;
            bytes.resize(done + piece);
            readBytes(bytes.data() + done, piece);
        }
    } catch (...) {
        try {
            seek(at);
        } catch (...) {}
        throw;
    }
    return bytes;
}

template <typename T> T InputStream::read() {
    uint8_t bytes[sizeof(T)];
    readBytes(bytes, sizeof bytes);
    T value = 0;
    for (size_t i = sizeof(T); i-- > 0;) value = static_cast<T>((value << 8) | bytes[i]);
    return value;
}

template uint16_t InputStream::read<uint16_t>();
template uint32_t InputStream::read<uint32_t>();

std::string InputStream::readString(size_t count) {
    const std::vector<uint8_t> bytes = readBytes(count);
    // An empty vector may have no storage at all, and memchr must not be given a null pointer.
    const void* zero = bytes.empty() ? nullptr : std::memchr(bytes.data(), 0, bytes.size());
    const size_t length = zero ? static_cast<const uint8_t*>(zero) - bytes.data() : bytes.size();
    return std::string(reinterpret_cast<const char*>(bytes.data()), length);
}

}  // namespace fwu
