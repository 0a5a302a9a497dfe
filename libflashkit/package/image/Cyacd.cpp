// SPDX-License-Identifier: Apache-2.0
#include "package/image/Cyacd.h"

#include "HexDigit.h"
#include "core/Exception.h"

namespace fwu::kfw::file {

namespace cyacd {

namespace {

[[noreturn]] void Fail(PackageError error) { throw Exception(error); }

// Digits are consumed strictly in order, so a NUL terminator stops the parse before anything
// beyond it is touched.
template <typename T> T ParseDigits(const char* text, size_t digits) {
    T value = 0;
    for (size_t i = 0; i < digits; ++i)
        value = static_cast<T>((value << 4) | ParseHexChar(text[i]));
    return value;
}

}  // namespace

uint8_t ParseHexChar(char c) {
    const int digit = common::HexDigitValue(c);
    if (digit < 0) Fail(PackageError::kCyacdInvalidHexString);
    return static_cast<uint8_t>(digit);
}

uint8_t ParseUInt8String(const char* text) { return ParseDigits<uint8_t>(text, 2); }
uint16_t ParseUInt16String(const char* text) { return ParseDigits<uint16_t>(text, 4); }
uint32_t ParseUInt32String(const char* text) { return ParseDigits<uint32_t>(text, 8); }

Header ParseHeaderString(const std::string& line) {
    // c_str() ends in NUL, and each field is only reached when the one before it parsed, so
    // every offset below lies within the text or on its terminator.
    const char* text = line.c_str();
    Header header;
    header.siliconID = ParseUInt32String(text);
    header.siliconRevision = ParseUInt8String(text + 8);
    header.checksumType = ParseUInt8String(text + 10);
    return header;
}

std::vector<uint8_t> ParseRecordString(const std::string& line) {
    if (line.empty() || line[0] != ':') Fail(PackageError::kCyacdInvalidRecord);
    const size_t digits = line.size() - 1;
    if (digits < 2) Fail(PackageError::kCyacdRecordNotFound);
    // An odd trailing digit is ignored; the last pair is the checksum.
    std::vector<uint8_t> bytes(digits / 2);
    uint8_t sum = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = ParseUInt8String(line.c_str() + 1 + 2 * i);
        sum = static_cast<uint8_t>(sum + bytes[i]);
    }
    if (sum != 0) Fail(PackageError::kCyacdInvalidChecksum);
    return bytes;
}

std::string LineReader::readLine() {
    const size_t start = m_position;
    while (m_position < m_size && m_data[m_position] != '\n' && m_data[m_position] != '\r')
        ++m_position;
    std::string line(reinterpret_cast<const char*>(m_data) + start, m_position - start);
    if (m_position < m_size) {
        const bool carriageReturn = m_data[m_position] == '\r';
        ++m_position;
        if (carriageReturn && m_position < m_size && m_data[m_position] == '\n') ++m_position;
    }
    return line;
}

}  // namespace cyacd

std::vector<uint8_t> BytesFromCyacd(const uint8_t* text, size_t size) {
    cyacd::LineReader reader(text, size);
    const cyacd::Header header = cyacd::ParseHeaderString(reader.readLine());
    if (header.checksumType != 0) cyacd::Fail(PackageError::kCyacdUnsupportedChecksumType);
    std::vector<uint8_t> result;
    while (!reader.atEnd()) {
        const std::string line = reader.readLine();
        if (line.empty()) continue;
        const std::vector<uint8_t> record = cyacd::ParseRecordString(line);
        result.insert(result.end(), record.begin(), record.end());
    }
    return result;
}

std::vector<uint8_t> BytesFromCyacd(const std::vector<uint8_t>& text) {
    return BytesFromCyacd(text.data(), text.size());
}

}  // namespace fwu::kfw::file
