// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/InputByteStream.h"
#include "package/v1/Blowfish.h"
#include "package/v1/Checksum.h"
#include "package/v1/KfwFile.h"
#include "package/v1/KfwParser.h"

namespace fwu::test::v1img {

// Builds legacy files byte by byte from the published layout, with literal offsets, so that
// the tests check the library's reader and writer against the layout rather than against the
// library's own constants. Every field can be set wrong on purpose.
struct ItemDescription {
    uint16_t tag = 0;
    uint16_t directoryTag = 0;  // tag in the unit's item directory; normally the same
    uint32_t estimatedTime = 0;
    std::vector<uint8_t> data;
};

struct UnitDescription {
    uint16_t tag = 0x0010;
    std::string versions;           // 25 characters
    std::string directoryVersions;  // same, in the unit directory
    std::vector<ItemDescription> items;
};

struct ImageDescription {
    uint16_t fileTag = 0x0020;
    std::string product;
    std::string targetVersions;  // 25 characters
    std::vector<UnitDescription> units;
};

inline ItemDescription item(uint16_t tag, uint32_t estimatedTime, std::vector<uint8_t> data) {
    return ItemDescription{tag, tag, estimatedTime, std::move(data)};
}

inline UnitDescription unit(const std::string& versions, std::vector<ItemDescription> items) {
    return UnitDescription{0x0010, versions, versions, std::move(items)};
}

class Bytes {
public:
    explicit Bytes(size_t size) : m_bytes(size, 0) {}
    void put16(size_t at, uint16_t v) {
        m_bytes.at(at) = static_cast<uint8_t>(v);
        m_bytes.at(at + 1) = static_cast<uint8_t>(v >> 8);
    }
    void put32(size_t at, uint32_t v) {
        for (size_t i = 0; i < 4; ++i) m_bytes.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
    }
    void put(size_t at, const std::string& s) {
        for (size_t i = 0; i < s.size(); ++i) m_bytes.at(at + i) = static_cast<uint8_t>(s[i]);
    }
    void put(size_t at, const std::vector<uint8_t>& b) {
        for (size_t i = 0; i < b.size(); ++i) m_bytes.at(at + i) = b[i];
    }
    std::vector<uint8_t>& bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

inline size_t unitSize(const UnitDescription& u) {
    size_t size = 256;
    for (const ItemDescription& i : u.items) size += 128 + i.data.size();
    return size;
}

// The plain (deciphered) image.
inline std::vector<uint8_t> plainImage(const ImageDescription& description) {
    size_t total = 2048;
    for (const UnitDescription& u : description.units) total += unitSize(u);
    Bytes image(total);
    image.put16(0, description.fileTag);
    image.put(2, description.product);
    image.put(19, description.targetVersions);
    image.put16(51, static_cast<uint16_t>(description.units.size()));
    size_t unitOffset = 0;
    for (size_t n = 0; n < description.units.size(); ++n) {
        const UnitDescription& u = description.units[n];
        const size_t entry = 53 + 37 * n;
        image.put(entry, u.directoryVersions);
        image.put32(entry + 26, static_cast<uint32_t>(unitOffset));
        image.put32(entry + 30, static_cast<uint32_t>(unitSize(u)));

        const size_t start = 2048 + unitOffset;
        image.put16(start, u.tag);
        image.put(start + 2, u.versions);
        image.put16(start + 51, static_cast<uint16_t>(u.items.size()));
        size_t itemOffset = 0;
        for (size_t k = 0; k < u.items.size(); ++k) {
            const ItemDescription& i = u.items[k];
            image.put16(start + 53 + 10 * k, i.directoryTag);
            image.put32(start + 53 + 10 * k + 2, static_cast<uint32_t>(itemOffset));
            image.put32(start + 53 + 10 * k + 6, static_cast<uint32_t>(128 + i.data.size()));
            const size_t itemStart = start + 256 + itemOffset;
            image.put16(itemStart, i.tag);
            image.put32(itemStart + 2, i.estimatedTime);
            image.put32(itemStart + 18, static_cast<uint32_t>(i.data.size()));
            image.put(itemStart + 128, i.data);
            itemOffset += 128 + i.data.size();
        }
        unitOffset += unitSize(u);
    }
    return image.bytes();
}

// Enciphers a plain image and prepends its checksum: a complete legacy file.
inline std::vector<uint8_t> seal(std::vector<uint8_t> plain) {
    kfw::v1::EncodeBytes(plain);
    const uint16_t checksum = kfw::v1::CalculateChecksum(plain.data(), plain.size(), 0);
    std::vector<uint8_t> file(plain.size() + 2);
    file[0] = static_cast<uint8_t>(checksum);
    file[1] = static_cast<uint8_t>(checksum >> 8);
    std::copy(plain.begin(), plain.end(), file.begin() + 2);
    return file;
}

// The plain image of a legacy file: checksum dropped, deciphered.
inline std::vector<uint8_t> unseal(const std::vector<uint8_t>& file) {
    std::vector<uint8_t> plain(file.begin() + 2, file.end());
    kfw::v1::DecodeBytes(plain);
    return plain;
}

inline void parse(kfw::v1::KfwFile& file, const std::vector<uint8_t>& bytes) {
    InputByteStream stream(bytes.data(), bytes.size());
    kfw::v1::KfwParser().parse(&file, &stream);
}

}  // namespace fwu::test::v1img
