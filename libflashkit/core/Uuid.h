// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "flashkit/flashkit.h"

namespace fwu {

// 16-byte object identifier, kept in the byte order of the package files. The text form reads
// the first three groups as little-endian integers out of those bytes.
class Uuid {
public:
    Uuid() : m_bytes{} {}

    static Uuid generate();
    static Uuid fromBytes(const uint8_t* bytes);
    static Uuid fromFWUuid(const FWUuid& uuid);
    FWUuid toFWUuid() const;

    std::string toString() const;
    // Leaves the Uuid unchanged for text shorter than 34 characters; a field that is not
    // hexadecimal throws std::invalid_argument.
    void fromString(const std::string& text);

    bool empty() const;
    std::vector<uint8_t> bytes() const { return {m_bytes.begin(), m_bytes.end()}; }
    const uint8_t* data() const { return m_bytes.data(); }
    size_t size() const { return m_bytes.size(); }

    // A fixed-size memcmp compiles to two word compares instead of a call.
    bool operator==(const Uuid& other) const {
        return std::memcmp(m_bytes.data(), other.m_bytes.data(), sizeof m_bytes) == 0;
    }
    bool operator!=(const Uuid& other) const { return !(*this == other); }

private:
    std::array<uint8_t, 16> m_bytes;
};

}  // namespace fwu
