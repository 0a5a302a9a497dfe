// SPDX-License-Identifier: Apache-2.0
#include "core/Uuid.h"

#include <uuid/uuid.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "HexDigit.h"

namespace fwu {

namespace {

// Parses one fixed-width hexadecimal field. Only hex digits are accepted, so a sign, blank or
// "0x" inside a field is refused instead of silently shifting the digits.
unsigned long ParseHexField(const std::string& text, size_t start, size_t length) {
    unsigned long value = 0;
    for (size_t i = start; i < start + length; ++i) {
        const int digit = common::HexDigitValue(text[i]);
        if (digit < 0) throw std::invalid_argument("Uuid field is not hexadecimal");
        value = value * 16 + static_cast<unsigned long>(digit);
    }
    return value;
}

}  // namespace

Uuid Uuid::generate() {
    Uuid uuid;
    uuid_generate(uuid.m_bytes.data());
    return uuid;
}

Uuid Uuid::fromBytes(const uint8_t* bytes) {
    Uuid uuid;
    std::memcpy(uuid.m_bytes.data(), bytes, uuid.m_bytes.size());
    return uuid;
}

Uuid Uuid::fromFWUuid(const FWUuid& record) {
    Uuid uuid;
    std::memcpy(uuid.m_bytes.data(), &record, sizeof record);
    return uuid;
}

FWUuid Uuid::toFWUuid() const {
    FWUuid record;
    std::memcpy(&record, m_bytes.data(), sizeof record);
    return record;
}

bool Uuid::empty() const {
    for (uint8_t b : m_bytes)
        if (b) return false;
    return true;
}

std::string Uuid::toString() const {
    const uint8_t* b = m_bytes.data();
    const unsigned long first =
        b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<unsigned long>(b[3]) << 24);
    const unsigned second = b[4] | (b[5] << 8);
    const unsigned third = b[6] | (b[7] << 8);
    char text[37];
    std::snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", first,
                  second, third, b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

void Uuid::fromString(const std::string& text) {
    if (text.size() < 34) return;
    std::array<uint8_t, 16> parsed{};
    const unsigned long first = ParseHexField(text, 0, 8);
    for (int i = 0; i < 4; ++i) parsed[i] = static_cast<uint8_t>(first >> (8 * i));
    const unsigned long second = ParseHexField(text, 9, 4);
    parsed[4] = static_cast<uint8_t>(second);
    parsed[5] = static_cast<uint8_t>(second >> 8);
    const unsigned long third = ParseHexField(text, 14, 4);
    parsed[6] = static_cast<uint8_t>(third);
    parsed[7] = static_cast<uint8_t>(third >> 8);
    parsed[8] = static_cast<uint8_t>(ParseHexField(text, 19, 2));
    parsed[9] = static_cast<uint8_t>(ParseHexField(text, 21, 2));
    // The last pair starts at 34, so a 34- or 35-character text reads past its end; such a text
    // is refused like any other malformed field rather than read out of bounds.
    for (int i = 0; i < 6; ++i) {
        const size_t at = 24 + 2 * static_cast<size_t>(i);
        if (at + 2 > text.size()) throw std::invalid_argument("Uuid text is too short");
        parsed[10 + i] = static_cast<uint8_t>(ParseHexField(text, at, 2));
    }
    m_bytes = parsed;
}

}  // namespace fwu
