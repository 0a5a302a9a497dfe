// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

namespace pocketjson {

// A Unicode code point, written out as UTF-8.
class CodePoint {
public:
    explicit CodePoint(uint32_t value) : m_value(value) {}

    uint32_t value() const { return m_value; }

    // Writes the standard UTF-8 form (1 to 4 bytes) and returns the number of bytes written.
    // Values above 0x10FFFF have no UTF-8 form: nothing is written and 0 is returned. Surrogate
    // values are encoded like any other 3-byte code point; the parser never produces them alone.
    template <class OutputIterator> size_t toUtf8(OutputIterator& out) const {
        const uint32_t c = m_value;
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
            return 1;
        }
        if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
            return 2;
        }
        if (c < 0x10000) {
            *out++ = static_cast<char>(0xE0 | (c >> 12));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
            return 3;
        }
        if (c <= 0x10FFFF) {
            *out++ = static_cast<char>(0xF0 | (c >> 18));
            *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
            return 4;
        }
        return 0;
    }

private:
    uint32_t m_value;
};

}  // namespace pocketjson
