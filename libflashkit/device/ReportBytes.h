// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fwu::dev::report {

// Little-endian fields of monitor reports, bounds-checked: a layout mistake throws out_of_range
// in tests instead of writing past the buffer.
inline void PutU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
    bytes.at(offset) = uint8_t(value);
    bytes.at(offset + 1) = uint8_t(value >> 8);
}

inline void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes.at(offset + i) = uint8_t(value >> (8 * i));
}

inline uint16_t GetU16(const std::vector<uint8_t>& bytes, size_t offset) {
    return uint16_t(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

inline uint32_t GetU32(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= uint32_t(bytes.at(offset + i)) << (8 * i);
    return value;
}

// The six-character file name at the start of a file report.
inline void PutName(std::vector<uint8_t>& bytes, const char* name) {
    for (size_t i = 0; i < 6; ++i) bytes.at(i) = uint8_t(name[i]);
}

inline bool NameMatches(const std::vector<uint8_t>& bytes, const char* name) {
    for (size_t i = 0; i < 6; ++i)
        if (bytes.at(i) != uint8_t(name[i])) return false;
    return true;
}

// Text from `offset` up to the first NUL or the end.
inline std::string GetText(const std::vector<uint8_t>& bytes, size_t offset, size_t maxLength) {
    std::string text;
    for (size_t i = offset; i < bytes.size() && text.size() < maxLength && bytes[i]; ++i)
        text.push_back(char(bytes[i]));
    return text;
}

}  // namespace fwu::dev::report
