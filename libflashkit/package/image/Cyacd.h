// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Bootloader image text (".cyacd"): a header line of hexadecimal fields, then one line per
// record, ":" followed by hexadecimal byte pairs ending in a sum-of-bytes checksum. Every
// failure is fwu::Exception 0x60008. The text is outside input: the readers never read past it.
namespace fwu::kfw::file {

namespace cyacd {

struct Header {
    uint32_t siliconID = 0;
    uint8_t siliconRevision = 0;
    uint8_t checksumType = 0;
};

// 0-15 for a hexadecimal digit (either case); anything else throws "Invalid hex string".
uint8_t ParseHexChar(char c);
// The number of the first 2, 4 or 8 digits, most significant first. `text` must be
// NUL-terminated: the terminator is not a digit, so a short text throws before reading past it.
uint8_t ParseUInt8String(const char* text);
uint16_t ParseUInt16String(const char* text);
uint32_t ParseUInt32String(const char* text);

// Silicon ID (8 digits), silicon revision (2), checksum type (2); characters after the twelfth
// are ignored.
Header ParseHeaderString(const std::string& line);
// The bytes of one record line, its trailing checksum byte included.
std::vector<uint8_t> ParseRecordString(const std::string& line);

// Splits text into lines at "\n", "\r" or "\r\n". Zero bytes are ordinary characters: every
// call to readLine moves forward while input is left, and never beyond its end.
class LineReader {
public:
    LineReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    // The reader keeps a view of the text, not a copy: it must outlive the reader.
    explicit LineReader(const std::vector<uint8_t>& text) : LineReader(text.data(), text.size()) {}
    explicit LineReader(std::vector<uint8_t>&&) = delete;

    // The next line without its terminator; an empty string at the end.
    std::string readLine();
    bool atEnd() const { return m_position >= m_size; }
    size_t position() const { return m_position; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

}  // namespace cyacd

// The bytes of every record in file order, each with its checksum byte; the header contributes
// nothing. Only checksum type 0 (sum of bytes) is supported.
std::vector<uint8_t> BytesFromCyacd(const std::vector<uint8_t>& text);
std::vector<uint8_t> BytesFromCyacd(const uint8_t* text, size_t size);

}  // namespace fwu::kfw::file
